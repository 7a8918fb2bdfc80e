// Two programs whose settings name one device differently: the terminal's own path in one, a
// link to it in the other, as /dev/ttyUSB0 and /dev/serial/by-id/... name one adapter. Root, as
// these tests may run, is not stopped by the terminal's exclusive-open flag: only the program's
// own lock on the device keeps the second one off.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

// Without a display the program writes what its status panel shows to its log.
void RunHeadless(ProgramUnderTest& program) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        program.RemoveEnvironment(name);
    }
    program.AddArgument("--headless");
}

TEST(OneReaderPerDeviceTest, EveryScanIsRecordedOnceByTheFirstProgramAndTheSecondNamesIt) {
    constexpr int kScans = 30;
    test::TempDir folder;
    const std::string link = folder.file("usb-station-port0");
    std::string whyNot;
    const auto first = PrepareProgram({}, whyNot);
    if (!first) {
        GTEST_SKIP() << whyNot;
    }
    const std::string device = first->Line().ProgramEnd();
    fs::create_symlink(device, link);
    const auto second = PrepareProgram({{"CommPort", link}}, whyNot);
    ASSERT_TRUE(second) << whyNot;
    RunHeadless(*first);
    RunHeadless(*second);

    ASSERT_TRUE(first->StartAndWaitForPort()) << first->Log();
    ASSERT_TRUE(second->Start()) << second->Log();
    const std::string held = "Status: 210 The serial port is in use by another program: " + link +
                             ", held by brisolant (process " + std::to_string(first->Pid()) + ")";
    ASSERT_TRUE(test::WaitUntil([&] {
        return second->Log().find(held) != std::string::npos || !second->IsRunning();
    })) << second->Log();
    EXPECT_FALSE(HasOpen(second->Pid(), device)) << "the second program kept the device open";

    for (int scan = 1; scan <= kScans; ++scan) {
        ASSERT_TRUE(first->Line().Write(Scan(ParcelBarcode(scan))));
    }
    const auto lines = first->WaitForLines(kScans);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kScans)) << first->Log() << second->Log();
    for (int scan = 1; scan <= kScans; ++scan) {
        EXPECT_EQ(BarcodeOf(lines[scan - 1]), ParcelBarcode(scan));
    }
    EXPECT_TRUE(second->WaitForLines(0).empty()) << second->Log();

    // The second waits for the device, and takes it once the first lets go.
    first->Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return HasOpen(second->Pid(), device); })) << second->Log();
    ASSERT_TRUE(first->Line().Write(Scan(ParcelBarcode(kScans + 1))));
    const auto taken = second->WaitForLines(1);
    ASSERT_EQ(taken.size(), 1u) << second->Log();
    EXPECT_EQ(BarcodeOf(taken[0]), ParcelBarcode(kScans + 1));
}

}  // namespace
}  // namespace brisolant::e2e
