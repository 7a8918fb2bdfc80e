#include "device/PortKeeper.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "support/FakeWindow.h"

namespace brisolant {
namespace {

using test::FakePort;
using test::FakePump;
using test::FakeView;
using test::FakeWatch;

const std::string kDevice = "/dev/serial/by-id/usb-station-port0";
const std::string kScan = "\x02" + CommHandler::TestScanText();

class Scans : public ScanSink {
  public:
    std::optional<Failure> ProcessScan(std::string& text) override {
        scans.push_back(text);
        if (during) {
            std::exchange(during, nullptr)();
        }
        return std::nullopt;
    }
    std::vector<std::string> scans;
    std::function<void()> during;
};

class PortKeeperTest : public ::testing::Test {
  protected:
    PortKeeperTest() { OpenOn(kDevice); }

    void OpenOn(const std::string& device) {
        Settings settings;
        settings.CommPort = device;
        keeper.Open(settings);
    }

    void Receive(const std::string& text) {
        port.Arrive(text);
        handler.Comm_OnComm();
    }
    // The device goes away under the open port.
    void Vanish() {
        port.open = false;
        keeper.Lost(Failure(FailureCode::PortVanished, kDevice));
    }
    // The watch fires while the device answers an open with this failure.
    void TryReopenRefusedWith(FailureCode code) {
        port.refuseOpen = true;
        port.refusal = code;
        keeper.TryReopen();
        port.refuseOpen = false;
    }
    bool PanelShows(FailureCode code) {
        return window.panels[1].starts_with("Status: " + std::to_string(static_cast<int>(code)));
    }

    FakeView window;
    LineStatus status{window};
    FakePort port;
    FakePump pump;
    Scans sink;
    CommHandler handler{status, port, pump, sink};
    const ReceiveState& state = handler.State();
    FakeWatch watch;
    PortKeeper keeper{port, status, watch, handler};
};

TEST_F(PortKeeperTest, OnlyFailuresThatTheDeviceCanMendAreWaitedFor) {
    struct Case {
        FailureCode code;
        bool waited;
    };
    const Case cases[] = {
        {FailureCode::PortOpenFailed, true},
        {FailureCode::PortVanished, true},
        {FailureCode::PortPermissionDenied, true},
        {FailureCode::PortDeviceMissing, true},
        {FailureCode::PortInUse, true},
        {FailureCode::PortLinkStale, true},
        {FailureCode::PortBadNumber, false},
        {FailureCode::PortBadSettings, false},
        {FailureCode::PortNotOpen, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        EXPECT_EQ(PortKeeper::ComesBack(c.code), c.waited);
        port.open = false;
        keeper.Lost(Failure(c.code));
        EXPECT_EQ(watch.running, c.waited);
        EXPECT_TRUE(PanelShows(c.code)) << window.panels[1];
        EXPECT_EQ(window.light, kLightGrey);
    }
}

// The number of a closed pseudo-terminal is handed to the next terminal opened on the machine.
TEST_F(PortKeeperTest, AVanishedPseudoTerminalIsNotWaitedFor) {
    OpenOn("/dev/pts/3");
    Vanish();
    EXPECT_TRUE(PanelShows(FailureCode::PortVanished)) << window.panels[1];
    EXPECT_FALSE(watch.running);
    EXPECT_TRUE(PortKeeper::NameComesBack(kDevice));
}

TEST_F(PortKeeperTest, AReturningDeviceIsOpenedAgainAndWhatCameBeforeTheLossIsDropped) {
    Receive(
        "\x02"
        "Device Number: 1\r\n     Len");
    Vanish();
    EXPECT_TRUE(PanelShows(FailureCode::PortVanished)) << window.panels[1];
    EXPECT_EQ(window.light, kLightGrey);
    ASSERT_TRUE(watch.running);
    EXPECT_EQ(watch.device, kDevice);

    // Still gone: the report of its going away stays, and so does the watch.
    TryReopenRefusedWith(FailureCode::PortDeviceMissing);
    EXPECT_TRUE(PanelShows(FailureCode::PortVanished)) << window.panels[1];
    EXPECT_TRUE(watch.running);

    keeper.TryReopen();
    EXPECT_TRUE(port.open);
    EXPECT_EQ(port.device, kDevice) << "the same device";
    EXPECT_EQ(window.panels[1], "Status: Waiting Idle");
    EXPECT_EQ(window.light, kLightGreen);
    EXPECT_FALSE(watch.running);

    Receive(kScan);
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(sink.scans[0], CommHandler::TestScanText()) << "nothing of the lost scan glued on";
}

TEST_F(PortKeeperTest, NothingSaysAllIsWellWhileThePortIsClosed) {
    window.panelHistory.clear();
    // With a receive event last, the test scan's run also reads the closed port.
    for (const std::int16_t lastEvent : {std::int16_t{0}, std::int16_t{kEventReceive}}) {
        SCOPED_TRACE(lastEvent);
        Vanish();
        port.pending.clear();
        port.event = lastEvent;
        handler.InjectTestScan();
        EXPECT_EQ(sink.scans.back(), CommHandler::TestScanText()) << "the test scan still runs";
        EXPECT_TRUE(PanelShows(FailureCode::PortVanished)) << window.panels[1];
        EXPECT_EQ(window.light, kLightGrey);
        for (const std::string& text : window.panelHistory) {
            EXPECT_NE(text, "Status: Waiting Idle");
        }
        keeper.TryReopen();
        window.panelHistory.clear();
    }
}

TEST_F(PortKeeperTest, ANewReasonIsShownAndOneThatNeedsTheSettingsEndsTheWait) {
    Vanish();
    TryReopenRefusedWith(FailureCode::PortPermissionDenied);
    EXPECT_TRUE(PanelShows(FailureCode::PortPermissionDenied)) << window.panels[1];
    EXPECT_TRUE(watch.running);
    TryReopenRefusedWith(FailureCode::PortInUse);
    EXPECT_TRUE(PanelShows(FailureCode::PortInUse)) << window.panels[1];
    EXPECT_TRUE(watch.running);
    EXPECT_EQ(watch.starts, 1) << "one watch for the whole wait";

    TryReopenRefusedWith(FailureCode::PortBadSettings);
    EXPECT_TRUE(PanelShows(FailureCode::PortBadSettings)) << window.panels[1];
    EXPECT_FALSE(watch.running);
    EXPECT_EQ(window.light, kLightGrey);
}

// The manual-entry prompt keeps events flowing, so the device can go and come back while a
// scan is in hand: that scan is whole and is written; what followed it before the loss is not.
TEST_F(PortKeeperTest, AReopenWhileAScanIsProcessedKeepsThatScanAndDropsTheLostTail) {
    const std::string second = "\x02" + CommHandler::TestScanText();
    sink.during = [&] {
        Vanish();
        keeper.TryReopen();
        Receive(second.substr(0, 40));
    };
    Receive(kScan +
            "\x02"
            "Device Num");
    Receive(second.substr(40));
    ASSERT_EQ(sink.scans.size(), 2u);
    EXPECT_EQ(sink.scans[0], CommHandler::TestScanText());
    EXPECT_EQ(sink.scans[1], CommHandler::TestScanText());
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

}  // namespace
}  // namespace brisolant
