// Garbage at full speed for a while: the program's memory stays bounded, it keeps taking what
// the line brings, and a good scan afterwards is recorded.
//
// 15 seconds by default; BRISOLANT_SOAK_SECONDS=60 (or any number) for a longer run.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int SoakSeconds() {
    const char* text = std::getenv("BRISOLANT_SOAK_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 15;
}

// Random bytes in which the framing characters come often: STX starts blocks, CR LF pairs
// make lines and, now and then, terminators; long stretches without one fill the buffer.
class Garbage {
  public:
    std::string Next(std::size_t size) {
        std::string bytes(size, '\0');
        for (char& byte : bytes) {
            const unsigned roll = m_random() % 64;
            byte = roll == 0  ? '\x02'
                   : roll < 4 ? '\r'
                   : roll < 7 ? '\n'
                              : static_cast<char>(m_random() % 256);
        }
        if (m_random() % 4 == 0) {
            bytes.insert(m_random() % bytes.size(), "\r\n\r\n");
        }
        return bytes;
    }

  private:
    std::mt19937 m_random{20240601};
};

TEST(Soak, GarbageAtFullSpeedLeavesMemoryBoundedAndTheNextScanRecorded) {
    std::string whyNot;
    const auto started = PrepareProgram({}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    // The sanitizer keeps freed memory aside for a while (256 MiB by default), which would
    // hide a leak's growth or pass for one; a small quarantine keeps the figure honest.
    program.AddEnvironment("ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=16");
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    TestLine& line = program.Line();
    ASSERT_TRUE(line.Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();

    const pid_t pid = program.Pid();
    const long startKiB = ResidentKiB(pid);
    const double startCpu = CpuSeconds(pid);
    Garbage garbage;
    std::size_t sent = 0;
    std::size_t replies = 0;
    double slowestDrain = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(SoakSeconds());
    auto nextDrain = start + std::chrono::seconds(1);
    while (Clock::now() < end) {
        const std::string bytes = garbage.Next(4096);
        ASSERT_TRUE(line.Write(bytes)) << "the program stopped reading\n" << program.Log();
        sent += bytes.size();
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
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
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
