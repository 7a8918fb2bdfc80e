// The real program on a pseudo-terminal: what the station sends ends up in the data file.

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StartedProgramTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

// Everything of a record line after its date and time.
std::string RecordTail(const std::string& barcode) {
    std::string tail =
        ",1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,26.31       ,"
        "110.7       ," +
        barcode;
    tail.append(35 - barcode.size(), ' ');
    return tail;
}

std::string Barcode(const std::string& line) {
    return line.substr(line.size() - 35);
}

bool IsDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "YYYY/MM/DD" with any separator; the day of the year, or 0 when the text is no date.
int DayOfYear(const std::string& date) {
    if (date.size() != 10 || !IsDigits(date.substr(0, 4)) || !IsDigits(date.substr(5, 2)) ||
        !IsDigits(date.substr(8, 2))) {
        return 0;
    }
    std::tm day{};
    day.tm_year = std::stoi(date.substr(0, 4)) - 1900;
    day.tm_mon = std::stoi(date.substr(5, 2)) - 1;
    day.tm_mday = std::stoi(date.substr(8, 2));
    day.tm_hour = 12;
    if (timegm(&day) == -1) {
        return 0;
    }
    return day.tm_yday + 1;
}

bool IsTime(const std::string& time) {
    return time.size() == 8 && IsDigits(time.substr(0, 2)) && IsDigits(time.substr(3, 2)) &&
           IsDigits(time.substr(6, 2));
}

using ScanOverLineTest = StartedProgramTest<>;

TEST_F(ScanOverLineTest, SampleScanBecomesTheExactRecordLine) {
    Send(Scan("1234567890"));

    const auto lines = program_->WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u) << program_->Log();
    const std::string& line = lines[0];
    ASSERT_EQ(line.size(), 139u) << line;
    const std::string date = line.substr(0, 10);
    EXPECT_TRUE(IsTime(line.substr(11, 8))) << line;
    EXPECT_EQ(line.substr(10, 1), ",");
    EXPECT_EQ(line.substr(19), RecordTail("1234567890"));

    // Default naming: the day number of the record's own date, three digits.
    const int day = DayOfYear(date);
    ASSERT_NE(day, 0) << "not a date: " << date;
    char name[32];
    std::snprintf(name, sizeof name, "LOG-%03d.txt", day);
    ASSERT_EQ(program_->DataFileNames(), std::vector<std::string>{name});
    EXPECT_EQ(test::ReadFile(program_->DataFolder() + name), line + "\r\n");
    EXPECT_EQ(program_->RepliesSoFar(), "") << "a good scan draws no reply";
}

TEST_F(ScanOverLineTest, ShortBlockDrawsExactlyOneNak) {
    Send(kStx + "     Device Number:      1\r\n\r\n");
    ASSERT_EQ(program_->WaitForReplies(1), std::string(1, kNak)) << program_->Log();

    // The resend. The NAK follows the rejection, so the resend cannot be swept away with the
    // rest of the rejected block; once it is in the file, every reply to the short block has
    // been sent.
    Send(Scan("PCL000000001"));
    const auto lines = program_->WaitForLines(1);
    ASSERT_EQ(lines.size(), 1u) << program_->Log();
    EXPECT_EQ(Barcode(lines[0]), "PCL000000001" + std::string(23, ' '));
    EXPECT_EQ(program_->RepliesSoFar(), std::string(1, kNak));
}

TEST_F(ScanOverLineTest, TwoScansInOneWriteGiveTwoLines) {
    // Bytes after the first terminator are the next scan's start and must not be lost.
    Send(Scan("PCL000000001") + Scan("PCL000000002"));

    const auto lines = program_->WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u) << program_->Log();
    EXPECT_EQ(lines[0].substr(19), RecordTail("PCL000000001"));
    EXPECT_EQ(lines[1].substr(19), RecordTail("PCL000000002"));
    EXPECT_EQ(program_->RepliesSoFar(), "");
}

TEST_F(ScanOverLineTest, ScanSplitAcrossManySmallWritesIsRecordedOnce) {
    const std::string scan = Scan("PCL000000001");
    // Pieces of one to seven bytes; the last write is the second half of the terminator.
    const std::string body = scan.substr(0, scan.size() - 2);
    for (std::size_t start = 0, size = 1; start < body.size(); start += size, size = size % 7 + 1) {
        Send(body.substr(start, size));
        ASSERT_TRUE(program_->Line().WaitUntilTaken());
    }
    Send("\r\n");
    // A second scan behind it: once that is in, a late duplicate of the first would be too.
    Send(Scan("PCL000000002"));

    const auto lines = program_->WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u) << program_->Log();
    EXPECT_EQ(lines[0].substr(19), RecordTail("PCL000000001"));
    EXPECT_EQ(lines[1].substr(19), RecordTail("PCL000000002"));
    EXPECT_EQ(program_->RepliesSoFar(), "");
}

}  // namespace
}  // namespace brisolant::e2e
