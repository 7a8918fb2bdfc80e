#include "window/qt/HeldLineStatusView.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <string>
#include <vector>

#include "support/QtTestApp.h"
#include "support/QtWaiting.h"

namespace brisolant::test {
namespace {

// What reached the window, call by call.
class CallLog : public LineStatusView {
  public:
    void SetLightColour(std::uint32_t colour) override {
        calls.push_back("light " + std::to_string(colour));
    }
    void SetStatusText(const std::string& text) override { calls.push_back(text); }
    void SetConnectionText(const std::string& text) override { calls.push_back(text); }
    void SetDataReceivedText(const std::string& text) override { calls.push_back(text); }
    void SetErrorCount(std::int64_t count) override {
        calls.push_back("errors " + std::to_string(count));
    }

    std::vector<std::string> calls;
};

const std::string kRed = "light " + std::to_string(kLightRed);
const std::string kGreen = "light " + std::to_string(kLightGreen);

class HeldLineStatusViewTest : public ::testing::Test {
  protected:
    HeldLineStatusViewTest() {
        EnsureQtApplication();
        held.SetLightColour(kLightGreen);
        held.SetStatusText(kIdleStatusText);
        window.calls.clear();
    }

    // A read as the receive handler runs it.
    void Read(bool endsTheScan) {
        held.SetLightColour(kLightRed);
        held.SetStatusText(kReceivingStatusText);
        held.SetDataReceivedText("[...]");
        if (endsTheScan) {
            held.SetLightColour(kLightGreen);
            held.SetStatusText(kIdleStatusText);
        }
    }

    CallLog window;
    HeldLineStatusView held{window};
};

TEST_F(HeldLineStatusViewTest, AReadThatEndsTheScanLeavesTheLightAndPanelOneAlone) {
    held.Hold();
    Read(true);
    held.Release();
    EXPECT_EQ(window.calls, std::vector<std::string>{"[...]"});
}

TEST_F(HeldLineStatusViewTest, AReadThatLeavesTheScanUnfinishedShowsItArrivingAtItsEnd) {
    held.Hold();
    Read(false);
    EXPECT_EQ(window.calls, std::vector<std::string>{"[...]"});
    held.Release();
    EXPECT_EQ(window.calls, (std::vector<std::string>{"[...]", kRed, kReceivingStatusText}));
}

// The receive handler's yield runs the reads that came meanwhile inside the first.
TEST_F(HeldLineStatusViewTest, ANestedStepShowsNothingBeforeTheOuterOneEnds) {
    held.Hold();
    held.Hold();
    Read(false);
    held.Release();
    EXPECT_EQ(window.calls, std::vector<std::string>{"[...]"});
    held.Release();
    EXPECT_EQ(window.calls.back(), kReceivingStatusText);
}

// The manual-entry prompt opens inside the read; in its own event loop the window is seen red
// and "Receiving Data", as before.
TEST_F(HeldLineStatusViewTest, AWindowOpenedInsideAStepSeesTheStateAsItStands) {
    std::vector<std::string> seenInPrompt;
    bool done = false;
    QTimer::singleShot(0, [&] {
        held.Hold();
        Read(false);
        PumpUntil([&] { return window.calls.size() >= 3; });
        seenInPrompt = window.calls;
        held.SetLightColour(kLightGreen);
        held.SetStatusText(kIdleStatusText);
        held.Release();
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done; }));
    EXPECT_EQ(seenInPrompt, (std::vector<std::string>{"[...]", kRed, kReceivingStatusText}));
    EXPECT_EQ(window.calls.back(), kIdleStatusText);
}

}  // namespace
}  // namespace brisolant::test
