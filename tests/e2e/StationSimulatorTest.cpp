// The station simulator and the program together on one line.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace
}  // namespace brisolant::e2e
