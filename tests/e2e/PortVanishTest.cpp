// The line going away under the running program: the far end of its pseudo-terminal closed,
// or the station with the device link it was opened by. The program closes the port and
// idles; it neither ends nor spins.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
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

// Over a few seconds of nothing happening, a program that idles uses a sliver of a processor;
// one that spins on the dead port uses all of it. The bound is generous for sanitized builds.
void ExpectIdles(ProgramUnderTest& program) {
    constexpr double kSeconds = 3;
    const double before = CpuSeconds(program.Pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
    const double used = CpuSeconds(program.Pid()) - before;
    EXPECT_LT(used, 0.3 * kSeconds) << "processor time while idle, in seconds";
    EXPECT_TRUE(program.IsRunning()) << program.Log();
}

TEST(PortVanish, TheFarEndOfTheLineClosingLeavesTheProgramIdle) {
    std::string whyNot;
    const auto started = PrepareProgram({}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    const std::string device = program.Line().ProgramEnd();
    ASSERT_TRUE(program.Line().Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program.WaitForLines(1).size(), 1u) << program.Log();

    program.Line().Close();
    ASSERT_TRUE(WaitUntil([&] { return !Holds(program.Pid(), device) || !program.IsRunning(); }))
        << "the program kept the dead port open";
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    ExpectIdles(program);
}

TEST(PortVanish, AStationWhoseDeviceLinkGoesAwayLeavesTheProgramIdle) {
    test::TempDir folder;
    const std::string link = folder.file("station-port");
    const std::string log = folder.file("station.log");
    ChildProcess station;
    ASSERT_TRUE(station.Start(
        {STATION_EXE, "--scan", "metric", "--flood", "--count", "3", "--wait-open", "--link", link},
        EnvironmentWith({}), log))
        << test::ReadFile(log);
    ASSERT_TRUE(WaitUntil([&] { return fs::is_symlink(link) || !station.IsRunning(); }))
        << test::ReadFile(log);
    std::error_code error;
    const std::string device = fs::canonical(link, error).string();
    ASSERT_FALSE(error) << test::ReadFile(log);

    std::string whyNot;
    const auto started = PrepareProgram(std::vector<SettingOverride>{{"CommPort", link}}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    ASSERT_EQ(program.WaitForLines(3).size(), 3u) << program.Log();

    station.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the station left its link behind";
    ASSERT_TRUE(WaitUntil([&] { return !Holds(program.Pid(), device) || !program.IsRunning(); }))
        << "the program kept the dead port open";
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    ExpectIdles(program);
}

}  // namespace
}  // namespace brisolant::e2e
