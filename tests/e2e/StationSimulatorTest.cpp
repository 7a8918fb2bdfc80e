// The station simulator and the program together on one line.

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(StationSimulatorTest, EveryFloodedScanLandsOnceInOrderThroughNoiseAndResends) {
    constexpr int kScans = 60;
    constexpr int kShortEvery = 7;
    test::TempDir folder;
    const std::string log = folder.file("station.log");
    ChildProcess station;
    ASSERT_TRUE(
        station.Start({STATION_EXE, "--flood", "--count", std::to_string(kScans), "--short-every",
                       std::to_string(kShortEvery), "--noise-every", "3", "--wait-open"},
                      EnvironmentWith({}), log))
        << test::ReadFile(log);
    // The first line the station writes is its end of the line for the program.
    ASSERT_TRUE(
        test::WaitUntil([&] { return test::ReadFile(log).find('\n') != std::string::npos; }));
    const std::string stationOutput = test::ReadFile(log);
    const std::string port = stationOutput.substr(0, stationOutput.find('\n'));
    ASSERT_TRUE(port.starts_with("/dev/")) << stationOutput;

    ProgramUnderTest program({{"CommPort", port}});
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();

    const auto lines = program.WaitForLines(kScans);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kScans)) << program.Log();
    for (int i = 0; i < kScans; ++i) {
        char barcode[16];
        std::snprintf(barcode, sizeof barcode, "PCL%09d", i + 1);
        ASSERT_EQ(lines[i].size(), 139u) << lines[i];
        EXPECT_EQ(lines[i].substr(104, 12), barcode) << "line " << i + 1;
    }
    // Each cut-short scan drew one NAK and came again whole.
    EXPECT_EQ(Occurrences(test::ReadFile(log), "NAK; resending"),
              static_cast<std::size_t>(kScans / kShortEvery))
        << test::ReadFile(log);
}

// A station that marks no scan with STX, and whose noise while powering up carries a stray one,
// unplugged and plugged in again: the first scan after the replug is a scan like any other, not
// the end of one whose start was lost.
TEST(StationSimulatorTest, AStationWithoutStxKeepsEveryScanAcrossAReplug) {
    test::TempDir folder;
    const std::string link = folder.file("usb-station-port0");
    std::string whyNot;
    const auto program = PrepareProgram({{"CommPort", link}}, whyNot);
    if (!program) {
        GTEST_SKIP() << whyNot;
    }
    for (int round = 1; round <= 2; ++round) {
        const std::string log = folder.file("station-" + std::to_string(round) + ".log");
        std::vector<std::string> arguments = {STATION_EXE, "--no-stx",    "--flood", "--count",
                                              "3",         "--wait-open", "--link",  link};
        if (round == 1) {
            arguments.push_back("--noise-first");
        }
        ChildProcess station;
        ASSERT_TRUE(station.Start(arguments, EnvironmentWith({}), log)) << test::ReadFile(log);
        ASSERT_TRUE(test::WaitUntil([&] {
            return std::filesystem::is_symlink(link) || !station.IsRunning();
        })) << test::ReadFile(log);
        if (round == 1) {
            ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
        }
        const auto lines = program->WaitForLines(static_cast<std::size_t>(3 * round));
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(3 * round))
            << program->Log() << test::ReadFile(log);
        for (int i = 0; i < 3; ++i) {
            char barcode[16];
            std::snprintf(barcode, sizeof barcode, "PCL%09d", i + 1);
            const std::string& line = lines[static_cast<std::size_t>(3 * (round - 1) + i)];
            ASSERT_EQ(line.size(), 139u) << line;
            EXPECT_EQ(line.substr(104, 12), barcode) << "round " << round << ", scan " << i + 1;
        }
        station.Stop();
    }
}

// Closing the terminal window the station runs in sends it SIGHUP: it ends as on SIGTERM or
// SIGINT, and takes its link with it, so that no program follows the link to whatever terminal
// gets the station's number next.
TEST(StationSimulatorTest, AHangUpEndsTheStationCleanlyAndRemovesItsLink) {
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        test::TempDir folder;
        const std::string link = folder.file("station");
        const std::string log = folder.file("station.log");
        ChildProcess station;
        ASSERT_TRUE(
            station.Start({STATION_EXE, "--wait-open", "--link", link}, EnvironmentWith({}), log))
            << test::ReadFile(log);
        ASSERT_TRUE(test::WaitUntil([&] {
            return std::filesystem::is_symlink(link) || !station.IsRunning();
        })) << test::ReadFile(log);

        ASSERT_EQ(::kill(station.Pid(), signal), 0);
        ASSERT_TRUE(test::WaitUntil([&] { return !station.IsRunning(); }));
        EXPECT_EQ(station.ExitCode(), 0) << test::ReadFile(log);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
            << "the station left its link behind";
    }
}

}  // namespace
}  // namespace brisolant::e2e
