#include "window/RecordLines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using Lines = std::vector<std::string>;

class RecordLinesTest : public testing::Test {
  protected:
    std::string WriteDataFile(const std::string& name, const std::string& content) {
        const std::string path = dir.file(name);
        test::WriteFile(path, content);
        return path;
    }

    Lines All() const { return lines.Lines(0, lines.size()); }

    test::TempDir dir;
    RecordLines lines;
};

TEST_F(RecordLinesTest, SwitchingOnOffOnHoldsEachLineOnce) {
    const std::string path = WriteDataFile("LOG-241.txt", "one\r\ntwo\r\n");

    lines.AppendFile(path);
    lines.Clear();
    lines.AppendFile(path);

    EXPECT_EQ(All(), (Lines{"one", "two"}));
}

// After a day change the list holds lines of two files, each followed by the records added
// while it was the current one.
TEST_F(RecordLinesTest, LinesKeepTheOrderInWhichTheyCame) {
    const std::string day241 = WriteDataFile("LOG-241.txt", "a1\r\na2\r\n");
    const std::string day242 = WriteDataFile("LOG-242.txt", "b1\rb2");
    const std::string empty = WriteDataFile("LOG-243.txt", "");

    lines.AppendFile(day241);
    lines.AppendLine("a3");
    lines.AppendLine("a4");
    lines.AppendFile(day242);
    lines.AppendFile(empty);
    lines.AppendLine("b3");

    EXPECT_EQ(lines.size(), 7u);
    EXPECT_EQ(All(), (Lines{"a1", "a2", "a3", "a4", "b1", "b2", "b3"}));
    // A window that starts inside one run and ends past the last line.
    EXPECT_EQ(lines.Lines(3, 6), (Lines{"a4", "b1", "b2", "b3", "", ""}));
    EXPECT_EQ(lines.Lines(9, 2), (Lines{"", ""}));
}

TEST_F(RecordLinesTest, FailedAppendFileLeavesTheLinesUnchanged) {
    lines.AppendLine("kept");

    try {
        lines.AppendFile(dir.file("LOG-999.txt"));
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::DataFileRead);
        EXPECT_NE(failure.description().find(dir.file("LOG-999.txt")), std::string::npos);
    }

    EXPECT_EQ(All(), Lines{"kept"});
}

TEST_F(RecordLinesTest, LongLinesAreCutAndTheWidestIsKnown) {
    const std::string huge(RecordLines::kMaxShownBytes + 10, 'x');
    lines.AppendFile(WriteDataFile("LOG-241.txt", "abc\r\nabcdefg\r\n"));
    EXPECT_EQ(lines.Widest(), 9u);  // the line end counts

    lines.AppendLine(huge);

    EXPECT_EQ(lines.Widest(), RecordLines::kMaxShownBytes);
    EXPECT_EQ(lines.Lines(2, 1).front(), huge.substr(0, RecordLines::kMaxShownBytes));
}

// The file is held open while its lines are shown, and released when they are cleared: switching
// the view off frees a removable drive.
TEST_F(RecordLinesTest, ClearReleasesTheFile) {
    const auto openFiles = [] {
        const std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    const auto before = openFiles();

    lines.AppendFile(WriteDataFile("LOG-241.txt", "one\r\n"));
    EXPECT_EQ(openFiles(), before + 1);
    lines.Clear();
    EXPECT_EQ(openFiles(), before);
}

}  // namespace
}  // namespace brisolant
