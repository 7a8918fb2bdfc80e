// The data folder goes away under the running program (an unmounted share, a pulled stick):
// the scans that arrive meanwhile wait and are written, in order and with their arrival times,
// once it is back; scans still waiting when the program dies are written at its next start.

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StartedProgramTest.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

// The digits of a record's date and time ("YYYYMMDDHHMMSS"), whatever the separators.
std::string StampDigits(const std::string& line) {
    std::string digits;
    for (const char c : line.substr(0, 19)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

std::string NowDigits() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

class DataFolderReturnTest : public StartedProgramTest<> {
  protected:
    std::string Folder() const {
        std::string folder = program_->DataFolder();
        folder.pop_back();
        return folder;
    }
    std::string Aside() const { return Folder() + ".aside"; }

    // Sends the scans and waits until the program has handled them (the NAK for the short
    // block behind them).
    void SendAndWaitUntilHandled(long first, long last) {
        for (long n = first; n <= last; ++n) {
            Send(Scan(ParcelBarcode(n)));
        }
        Send(kShortBlock);
        ASSERT_EQ(program_->WaitForReplies(1), std::string(1, kNak)) << program_->Log();
    }

    void ExpectParcelsInOrder(const std::vector<std::string>& lines, std::size_t count) {
        ASSERT_EQ(lines.size(), count) << program_->Log();
        EXPECT_EQ(BrokenLines(lines), std::vector<std::string>{});
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(BarcodeOf(lines[i]), ParcelBarcode(static_cast<long>(i) + 1));
        }
    }
};

TEST_F(DataFolderReturnTest, ScansThatArriveWhileItIsAwayAreWrittenInOrderOnceItIsBack) {
    Send(Scan(ParcelBarcode(1)));
    ASSERT_EQ(program_->WaitForLines(1).size(), 1u) << program_->Log();
    fs::rename(Folder(), Aside());
    SendAndWaitUntilHandled(2, 4);
    const std::string handledBy = NowDigits();
    EXPECT_FALSE(fs::exists(Folder())) << "the program made the data folder";
    fs::rename(Aside(), Folder());

    const auto lines = program_->WaitForLines(4);
    ExpectParcelsInOrder(lines, 4);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_LE(StampDigits(lines[i]), handledBy) << "the time of arrival, not of writing";
        EXPECT_LE(StampDigits(lines[i - 1]), StampDigits(lines[i]));
    }
}

TEST_F(DataFolderReturnTest, ScansStillWaitingWhenTheProgramIsKilledAreWrittenFirstAtTheNextStart) {
    Send(Scan(ParcelBarcode(1)));
    ASSERT_EQ(program_->WaitForLines(1).size(), 1u) << program_->Log();
    fs::rename(Folder(), Aside());
    SendAndWaitUntilHandled(2, 3);
    // Killed once the journal keeps the last of them: a scan handled but not yet kept is one a
    // crash may take (see docs/reliability.md), not what this test is about.
    ASSERT_TRUE(test::WaitUntil([&] {
        return test::ReadFile(program_->Folder() + "Orvane.journal").find(ParcelBarcode(3)) !=
               std::string::npos;
    })) << program_->Log();
    program_->Kill();
    fs::rename(Aside(), Folder());

    ASSERT_TRUE(program_->StartAndWaitForPort()) << program_->Log();
    ExpectParcelsInOrder(program_->WaitForLines(3), 3);
    Send(Scan(ParcelBarcode(4)));
    ExpectParcelsInOrder(program_->WaitForLines(4), 4);
}

}  // namespace
}  // namespace brisolant::e2e
