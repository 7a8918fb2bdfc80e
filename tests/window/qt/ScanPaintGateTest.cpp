#include "window/qt/ScanPaintGate.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <map>

#include "support/LongPaintHold.h"
#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "window/qt/MainWindowFixture.h"

namespace brisolant::test {
namespace {

// A window drawn once, with its paints counted; the gate is armed inside the event loop, as
// after a step of the recorder.
class ScanPaintGateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_.resize(80, 40);
        window_.installEventFilter(&counter_);
        window_.show();
        ASSERT_TRUE(PumpUntil([&] { return Paints() > 0; }));
        SettleEvents();
        shown_ = Paints();
    }

    int Paints() { return paints_[&window_]; }

    // Arms the gate and asks for a repaint in a turn of the event loop, and runs `then` there.
    template <typename Then>
    void HoldAndUpdate(Then then) {
        bool armed = false;
        QTimer::singleShot(0, &window_, [&] {
            gate_.HoldWhileWriting();
            window_.update();
            then();
            armed = true;
        });
        ASSERT_TRUE(PumpUntil([&] { return armed; }));
    }

    const bool application_ = (EnsureQtApplication(), true);  // before the widgets
    QWidget window_;
    ScanPaintGate gate_{window_};
    std::map<QObject*, int> paints_;
    PaintCounter counter_{paints_};
    int shown_ = 0;
};

TEST_F(ScanPaintGateTest, TheRepaintWaitsUntilTheRecordIsWritten) {
    HoldPaintLong(gate_);
    HoldAndUpdate([] {});
    SettleEvents();
    EXPECT_EQ(Paints(), shown_);
    EXPECT_TRUE(gate_.Holding());

    gate_.Written();
    EXPECT_TRUE(PumpUntil([&] { return Paints() == shown_ + 1; }));
    SettleEvents();
    EXPECT_EQ(Paints(), shown_ + 1);
}

// A disk that never reports holds the values back for a frame only.
TEST_F(ScanPaintGateTest, ARecordNeverReportedHoldsTheRepaintForAFrameOnly) {
    HoldAndUpdate([] {});
    EXPECT_TRUE(PumpUntil([&] { return Paints() == shown_ + 1; }));
    EXPECT_FALSE(gate_.Holding());
}

// The manual-entry prompt or a message box opened meanwhile runs a loop of its own, in which the
// main window is drawn as it stands.
TEST_F(ScanPaintGateTest, AWindowOpenedMeanwhileHasTheMainWindowDrawn) {
    HoldPaintLong(gate_);
    bool drawnInNestedLoop = false;
    HoldAndUpdate([&] { drawnInNestedLoop = PumpUntil([&] { return Paints() > shown_; }); });
    EXPECT_TRUE(drawnInNestedLoop);
    EXPECT_FALSE(gate_.Holding());
}

TEST_F(ScanPaintGateTest, WithNothingHeldWrittenChangesNothing) {
    gate_.Written();
    window_.update();
    EXPECT_TRUE(PumpUntil([&] { return Paints() == shown_ + 1; }));
}

}  // namespace
}  // namespace brisolant::test
