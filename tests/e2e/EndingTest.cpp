// Logout, shutdown, systemctl stop, kill and a closed terminal end the program with a signal: it
// ends as File > Exit ends it, with exit code 0, and leaves nothing half done.

#include <signal.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

struct EndingSignal {
    int number;
    const char* name;
};

TEST(EndingTest, EachEndingSignalEndsTheProgramWithExitCodeZero) {
    for (const EndingSignal signal :
         {EndingSignal{SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}}) {
        SCOPED_TRACE(signal.name);
        std::string whyNot;
        const auto program = PrepareProgram({}, whyNot);
        if (!program) {
            GTEST_SKIP() << whyNot;
        }
        ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
        ASSERT_TRUE(program->Line().Write(Scan(ParcelBarcode(1))));
        ASSERT_EQ(program->WaitForLines(1).size(), 1u) << program->Log();

        ASSERT_EQ(::kill(program->Pid(), signal.number), 0);
        ASSERT_TRUE(test::WaitUntil([&] { return !program->IsRunning(); })) << program->Log();
        EXPECT_EQ(program->ExitCode(), 0) << program->Log();
        EXPECT_NE(program->Log().find(std::string("ending on ") + signal.name), std::string::npos)
            << program->Log();
    }
}

// A stop while the operator is asked for a scan's text: the scan is recorded without it, the log
// says so, and the scans that arrived meanwhile, held while the prompt was open, are framed and
// written before the port closes, not dropped with it.
TEST(EndingTest, AStopWhileThePromptWaitsRecordsEveryScanReceivedAndSaysSo) {
    std::string whyNot;
    const auto program = PrepareProgram({{"ManualEntryData", "1"}}, whyNot);
    if (!program) {
        GTEST_SKIP() << whyNot;
    }
    ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
    TestLine& line = program->Line();
    ASSERT_TRUE(line.Write(Scan(ParcelBarcode(1))));
    ASSERT_TRUE(line.WaitUntilTaken()) << program->Log();
    ASSERT_TRUE(line.Write(Scan(ParcelBarcode(2)) + Scan(ParcelBarcode(3))));
    ASSERT_TRUE(line.WaitUntilTaken()) << program->Log();

    ASSERT_EQ(::kill(program->Pid(), SIGTERM), 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !program->IsRunning(); })) << program->Log();
    EXPECT_EQ(program->ExitCode(), 0) << program->Log();
    const std::vector<std::string> lines = program->WaitForLines(3);
    ASSERT_EQ(lines.size(), 3u) << program->Log();
    for (long parcel = 1; parcel <= 3; ++parcel) {
        EXPECT_NE(lines[static_cast<std::size_t>(parcel - 1)].find(ParcelBarcode(parcel)),
                  std::string::npos)
            << lines[static_cast<std::size_t>(parcel - 1)];
    }
    EXPECT_NE(program->Log().find("the manual-entry prompt waits: a scan is recorded without "
                                  "operator text"),
              std::string::npos)
        << program->Log();
}

// Whether the process's main thread holds SIGTERM back or has its own handler for it, as
// /proc/<pid>/status shows them (SigBlk, SigCgt): once either holds, the program has reached its
// main function, and a signal must end it cleanly.
bool TakesSigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const unsigned long long bit = 1ULL << (SIGTERM - 1);
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("SigBlk:") || line.starts_with("SigCgt:")) {
            if ((std::stoull(line.substr(7), nullptr, 16) & bit) != 0) {
                return true;
            }
        }
    }
    return false;
}

// A service stopped, or a terminal closed, while the program is still starting: the signal waits
// for the event loop instead of ending the program with the default action.
TEST(EndingTest, ASignalWhileTheProgramStartsEndsItCleanly) {
    for (const bool headless : {false, true}) {
        SCOPED_TRACE(headless ? "without a window" : "with a window");
        std::string whyNot;
        const auto program = PrepareProgram({}, whyNot);
        if (!program) {
            GTEST_SKIP() << whyNot;
        }
        if (headless) {
            program->AddArgument("--headless");
        }
        ASSERT_TRUE(program->Start()) << program->Log();
        ASSERT_TRUE(test::LookUntil([&] { return TakesSigterm(program->Pid()); }, test::kPatience,
                                    [] { std::this_thread::yield(); }));
        ASSERT_EQ(::kill(program->Pid(), SIGTERM), 0);
        ASSERT_TRUE(test::WaitUntil([&] { return !program->IsRunning(); })) << program->Log();
        EXPECT_EQ(program->ExitCode(), 0) << program->Log();
    }
}

}  // namespace
}  // namespace brisolant::e2e
