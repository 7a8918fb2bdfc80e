// Garbage at full speed for a while: the program's memory stays bounded, it keeps taking what
// the line brings, and a good scan afterwards is recorded.
//
// As long as FloodLength() says: BRISOLANT_FLOOD_SECONDS=600 makes a longer run.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "e2e/JunkFlood.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

using Clock = std::chrono::steady_clock;

TEST(SoakTest, GarbageAtFullSpeedLeavesMemoryBoundedAndTheNextScanRecorded) {
    std::string whyNot;
    const auto started = PrepareProgram({}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    KeepMemoryFigureHonest(program);
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    TestLine& line = program.Line();
    ASSERT_TRUE(line.Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();

    const pid_t pid = program.Pid();
    const long startKiB = ResidentKiB(pid);
    const double startCpu = CpuSeconds(pid);
    std::size_t replies = 0;
    double slowestDrain = 0;
    JunkFlood flood(JunkFlood::Bytes::FramingOften, 20240601, FloodLength());
    auto nextDrain = Clock::now() + std::chrono::seconds(1);
    while (flood.Going()) {
        const std::string bytes = flood.Next();
        ASSERT_TRUE(line.Write(bytes)) << "the program stopped reading\n" << program.Log();
        flood.Took(bytes.size());
        // A station reads its answers; left unread they would pile up in the program's port.
        replies += line.TakeReplies().size();
        if (Clock::now() >= nextDrain) {
            // Responsive: everything written so far is taken up within the patience.
            const auto drainStart = Clock::now();
            ASSERT_TRUE(line.WaitUntilTaken()) << program.Log();
            slowestDrain = std::max(
                slowestDrain, std::chrono::duration<double>(Clock::now() - drainStart).count());
            nextDrain = Clock::now() + std::chrono::seconds(1);
        }
    }
    ASSERT_TRUE(line.WaitUntilTaken()) << program.Log();
    const double seconds = flood.SecondsSoFar();
    const std::size_t sent = flood.Taken();
    const double cpu = CpuSeconds(pid) - startCpu;
    const long endKiB = ResidentKiB(pid);

    // A terminator ends whatever block the garbage left open; then a scan, sent again on a NAK
    // as the station would (the rejection of a leftover block may sweep it away).
    ASSERT_TRUE(line.Write("\r\n\r\n"));
    ASSERT_TRUE(line.WaitUntilTaken());
    long number = 1;
    const bool recorded = !SendUntilRecorded(program, number).empty();
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    EXPECT_TRUE(recorded) << program.Log();
    const auto lines = program.WaitForLines(0);
    EXPECT_EQ(BrokenLines(lines).size(), 0u);
    EXPECT_LT(endKiB - startKiB, 64 * 1024)
        << "resident memory grew from " << startKiB << " KiB to " << endKiB << " KiB";
    std::printf(
        "soak: %.1f s, %zu bytes of garbage (%.0f KiB/s), %zu reply bytes, %zu data lines; "
        "CPU %.1f s; VmRSS %ld -> %ld KiB; slowest drain %.2f s\n",
        seconds, sent, static_cast<double>(sent) / 1024 / seconds, replies, lines.size(), cpu,
        startKiB, endKiB, slowestDrain);
}

}  // namespace
}  // namespace brisolant::e2e
