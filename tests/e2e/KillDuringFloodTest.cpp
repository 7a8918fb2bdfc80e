// The program killed outright while scans pour in: what it leaves in the data file is whole
// record lines, each scan at most once, in the order sent.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

long BarcodeNumber(const std::string& barcode) {
    return barcode.starts_with("PCL") ? std::strtol(barcode.c_str() + 3, nullptr, 10) : -1;
}

TEST(KillDuringFloodTest, LeavesOnlyWholeLinesEachScanAtMostOnce) {
    constexpr int kRounds = 3;
    constexpr std::size_t kLinesPerRound = 150;
    std::string whyNot;
    const auto started = PrepareProgram({}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    TestLine& line = program.Line();

    long sent = 0;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
        const std::size_t target = program.WaitForLines(0).size() + kLinesPerRound;
        // As fast as the line takes them; the kill lands wherever the program happens to be.
        do {
            for (int i = 0; i < 10; ++i) {
                ASSERT_TRUE(line.Write(Scan(ParcelBarcode(++sent)))) << program.Log();
            }
        } while (program.WaitForLines(0).size() < target && program.IsRunning());
        ASSERT_TRUE(program.IsRunning()) << program.Log();
        program.Kill();
    }
    // Once more, to read what the last one left on the line, and a scan to know it is done.
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    ASSERT_TRUE(line.WaitUntilTaken()) << program.Log();
    ASSERT_FALSE(SendUntilRecorded(program, sent).empty()) << program.Log();

    const auto lines = program.WaitForLines(0);
    EXPECT_EQ(BrokenLines(lines), std::vector<std::string>{});
    std::set<std::string> seen;
    long previous = 0;
    for (const std::string& record : lines) {
        const std::string barcode = BarcodeOf(record);
        // A scan cut in two by the kill may come out of the next start as a block without its
        // first lines: still one whole line, under its own barcode or none.
        if (barcode.empty()) {
            continue;
        }
        EXPECT_TRUE(seen.insert(barcode).second) << "twice: " << barcode;
        const long number = BarcodeNumber(barcode);
        EXPECT_GT(number, previous) << record;
        previous = number;
    }
    RecordProperty("scans_sent", static_cast<int>(sent));
    RecordProperty("lines_recorded", static_cast<int>(lines.size()));
    std::printf("kill during flood: %ld scans sent, %zu lines recorded over %d kills\n", sent,
                lines.size(), kRounds);
}

}  // namespace
}  // namespace brisolant::e2e
