// The line going away under the running program: the far end of its pseudo-terminal closed,
// or the station with the device link it was opened by. The program closes the port and
// idles; it neither ends nor spins, and opens the device again as soon as it is back.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StartedProgramTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

// Whether the process still holds the device; a pseudo-terminal whose far end is gone shows
// in /proc as deleted.
bool Holds(pid_t pid, const std::string& device) {
    std::error_code error;
    fs::directory_iterator entries(fs::path("/proc") / std::to_string(pid) / "fd", error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(entries->path(), linkError).string();
        if (!linkError && (target == device || target == device + " (deleted)")) {
            return true;
        }
    }
    return false;
}

// Waits until the program no longer holds the device (or has ended).
bool Releases(ProgramUnderTest& program, const std::string& device) {
    return test::WaitUntil([&] { return !Holds(program.Pid(), device) || !program.IsRunning(); });
}

// An idle program is seen, sooner or later, asleep waiting for events; one that spins on the
// dead port never sleeps, and one that polls it over and over sleeps only briefly each time.
void ExpectIdles(ProgramUnderTest& program) {
    EXPECT_TRUE(test::WaitUntil([&] {
        return WaitsForEvents(program.Pid()) || !program.IsRunning();
    })) << "the program never settled to wait for events";
    EXPECT_TRUE(program.IsRunning()) << program.Log();
}

using PortVanishTest = StartedProgramTest<>;

TEST_F(PortVanishTest, TheFarEndOfTheLineClosingLeavesTheProgramIdle) {
    ProgramUnderTest& program = *program_;
    const std::string device = program.Line().ProgramEnd();
    ASSERT_TRUE(program.Line().Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();

    program.Line().Close();
    ASSERT_TRUE(Releases(program, device)) << "the program kept the dead port open";
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    ExpectIdles(program);
}

// The program set to open its device through a link, as /dev/serial/by-id/... names a USB
// adapter: the test makes and removes the link, or a station makes it for its own line.
class PortVanishBehindLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string whyNot;
        program_ = PrepareProgram({{"CommPort", link_}}, whyNot);
        if (!program_) {
            GTEST_SKIP() << whyNot;
        }
    }

    test::TempDir folder_;
    const std::string link_ = folder_.file("usb-station-port0");
    std::unique_ptr<ProgramUnderTest> program_;
};

TEST_F(PortVanishBehindLinkTest, AStationWhoseDeviceLinkGoesAwayLeavesTheProgramIdle) {
    const std::string log = folder_.file("station.log");
    ChildProcess station;
    ASSERT_TRUE(station.Start({STATION_EXE, "--scan", "metric", "--flood", "--count", "3",
                               "--wait-open", "--link", link_},
                              EnvironmentWith({}), log))
        << test::ReadFile(log);
    ASSERT_TRUE(test::WaitUntil([&] { return fs::is_symlink(link_) || !station.IsRunning(); }))
        << test::ReadFile(log);
    std::error_code error;
    const std::string device = fs::canonical(link_, error).string();
    ASSERT_FALSE(error) << test::ReadFile(log);

    ProgramUnderTest& program = *program_;
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    ASSERT_EQ(program.WaitForLines(3).size(), 3u) << program.Log() << test::ReadFile(log);

    station.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_))) << "the station left its link behind";
    ASSERT_TRUE(Releases(program, device)) << "the program kept the dead port open";
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    ExpectIdles(program);
}

// Whether the process has a file-system watch: the program watches for a missing device only
// while its port is closed.
bool Watches(pid_t pid) {
    std::error_code error;
    fs::directory_iterator entries(fs::path("/proc") / std::to_string(pid) / "fd", error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code linkError;
        if (fs::read_symlink(entries->path(), linkError) == "anon_inode:inotify" && !linkError) {
            return true;
        }
    }
    return false;
}

// The time from a device's link appearing until the program holds the device, in seconds.
double SecondsUntilOpen(ProgramUnderTest& program, const std::string& link,
                        const std::string& device) {
    const auto made = std::chrono::steady_clock::now();
    fs::create_symlink(device, link);
    if (!test::WaitUntil([&] { return HasOpen(program.Pid(), device) || !program.IsRunning(); })) {
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - made).count();
}

TEST_F(PortVanishBehindLinkTest, ADeviceWhoseLinkIsRemovedAndMadeAgainIsOpenedAndItsScansRecorded) {
    ProgramUnderTest& program = *program_;
    fs::create_symlink(program.Line().ProgramEnd(), link_);
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    ASSERT_TRUE(program.Line().Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();

    // Unplugged twice and plugged in again, half a scan lost on the way out each time.
    std::vector<std::unique_ptr<TestLine>> lines;
    TestLine* line = &program.Line();
    for (int round = 2; round <= 3; ++round) {
        const std::string old = line->ProgramEnd();
        ASSERT_TRUE(line->Write(Scan(ParcelBarcode(round)).substr(0, 60)));
        ASSERT_TRUE(line->WaitUntilTaken());
        line->Close();
        fs::remove(link_);
        ASSERT_TRUE(Releases(program, old)) << "the program kept the dead port open";

        lines.push_back(std::make_unique<TestLine>());
        line = lines.back().get();
        const double seconds = SecondsUntilOpen(program, link_, line->ProgramEnd());
        ASSERT_GE(seconds, 0) << "not opened again\n" << program.Log();
        std::printf("[ figures  ] device opened again %.2f s after its link came back\n", seconds);
        ASSERT_TRUE(line->Write(Scan(ParcelBarcode(round))));
        const auto recorded = program.WaitForLines(static_cast<std::size_t>(round));
        ASSERT_EQ(recorded.size(), static_cast<std::size_t>(round)) << program.Log();
        EXPECT_NE(recorded.back().find(ParcelBarcode(round)), std::string::npos) << recorded.back();
        EXPECT_EQ(recorded.back().size(), kRecordLength) << "nothing of the lost half glued on";
    }
}

TEST_F(PortVanishBehindLinkTest, AProgramStartedBeforeItsDeviceExistsOpensItWhenItAppears) {
    ProgramUnderTest& program = *program_;
    ASSERT_TRUE(program.Start()) << program.Log();
    ASSERT_TRUE(test::WaitUntil([&] { return Watches(program.Pid()) || !program.IsRunning(); }))
        << "the program does not wait for its device\n"
        << program.Log();

    const double seconds = SecondsUntilOpen(program, link_, program.Line().ProgramEnd());
    ASSERT_GE(seconds, 0) << "not opened\n" << program.Log();
    std::printf("[ figures  ] device opened %.2f s after it appeared\n", seconds);
    EXPECT_TRUE(test::WaitUntil([&] { return !Watches(program.Pid()); }))
        << "the watch outlives the wait";
    ASSERT_TRUE(program.Line().Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();
}

}  // namespace
}  // namespace brisolant::e2e
