#include "window/qt/PaintHoldingPump.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/CommHandler.h"
#include "support/LongPaintHold.h"
#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "window/qt/MainWindowFixture.h"
#include "window/qt/StatusLight.h"
#include "window/qt/ValueBox.h"

namespace brisolant::test {
namespace {

// What the status light and panel 1 showed at each of their paints, and what the counter said
// at each paint of a value box.
class PaintLog : public QObject {
  public:
    PaintLog(StatusLight& light, QLabel& panel, ValueBox& counter, const QList<ValueBox*>& boxes)
        : light_(light), panel_(panel), counter_(counter) {
        light_.installEventFilter(this);
        panel_.installEventFilter(this);
        for (ValueBox* box : boxes) {
            box->installEventFilter(this);
        }
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (watched == &light_) {
                lights.push_back(light_.Colour());
            } else if (watched == &panel_) {
                statuses.push_back(panel_.text().toStdString());
            } else if (watched == &counter_) {
                counts.push_back(counter_.Text().toStdString());
            } else {
                countsAtValues.push_back(counter_.Text().toStdString());
            }
        }
        return false;
    }
    bool Showed(std::uint32_t colour) const {
        return std::find(lights.begin(), lights.end(), colour) != lights.end();
    }
    bool Showed(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }
    void Clear() {
        lights.clear();
        statuses.clear();
        counts.clear();
        countsAtValues.clear();
    }

    std::vector<std::uint32_t> lights;
    std::vector<std::string> statuses;
    std::vector<std::string> counts;          // the counter's text at each of its paints
    std::vector<std::string> countsAtValues;  // the counter's text at each paint of a value

  private:
    StatusLight& light_;
    QLabel& panel_;
    ValueBox& counter_;
};

class PaintHoldingTest : public MainWindowFixture {
  protected:
    // The window opened on the terminal and drawn once; the log starts after that.
    PaintLog& OpenAndLog() {
        Open(pty.path());
        auto* light = Find<StatusLight>("shpLight");
        // In a window fitted to a small screen the light may lie beyond the view at first.
        Find<QScrollArea>("fraView")->ensureWidgetVisible(light);
        auto* counter = Find<ValueBox>("txtCounter");
        QList<ValueBox*> boxes = window->findChildren<ValueBox*>();
        log_ = std::make_unique<PaintLog>(*light, *Find<QLabel>("lblPanel1"), *counter, boxes);
        // However busy the disk, the scan's paint waits for its record here.
        test::HoldPaintLong(window->PaintGate());
        EXPECT_TRUE(PumpUntil([&] { return !log_->lights.empty(); }));
        SettleEvents();
        log_->Clear();
        return *log_;
    }

  private:
    std::unique_ptr<PaintLog> log_;
};

// The test scan goes through the receive handler's yield like a scan that arrives in one read.
// The light and panel 1 end as they began, green and "Waiting Idle", and are not drawn again:
// the red light and "Receiving Data" of its middle never show. The values and the counter,
// which moves once the record is on the disk, are drawn in one paint.
TEST_F(PaintHoldingTest, AScanInOneGoIsDrawnOnceWithItsCount) {
    PaintLog& log = OpenAndLog();
    // Chosen in the event loop, as the operator chooses it.
    QTimer::singleShot(0, window.get(), [&] { Action("mnuTest")->trigger(); });
    ASSERT_TRUE(PumpUntil([&] { return !log.counts.empty(); }));
    SettleEvents();
    EXPECT_EQ(log.counts, std::vector<std::string>{"1"});
    EXPECT_FALSE(log.countsAtValues.empty());
    for (const std::string& count : log.countsAtValues) {
        EXPECT_EQ(count, "1") << "a value drawn before its record was counted";
    }
    EXPECT_TRUE(log.lights.empty());
    EXPECT_TRUE(log.statuses.empty());
    EXPECT_EQ(Find<StatusLight>("shpLight")->Colour(), kLightGreen);
    EXPECT_EQ(Find<QLabel>("lblPanel1")->text(), "Status: Waiting Idle");
}

// Over several reads the scan is seen arriving: red and "Receiving Data" are drawn before its
// end is sent, which the handler's nested port events then frame as before.
TEST_F(PaintHoldingTest, AScanOverSeveralReadsIsSeenArriving) {
    PaintLog& log = OpenAndLog();
    const std::string scan = "\x02" + CommHandler::TestScanText();
    pty.Write(scan.substr(0, scan.size() / 2));
    ASSERT_TRUE(
        PumpUntil([&] { return log.Showed(kLightRed) && log.Showed("Status: Receiving Data"); }));
    EXPECT_EQ(Box("txtCounter"), "0");

    pty.Write(scan.substr(scan.size() / 2));
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    ASSERT_TRUE(PumpUntil([&] { return log.lights.back() == kLightGreen; }));
    EXPECT_EQ(DataFiles().size(), 1u);
}

class CallPump : public EventPump {
  public:
    explicit CallPump(std::function<void()> step) : step_(std::move(step)) {}
    void Yield() override { step_(); }

  private:
    std::function<void()> step_;
};

// The manual-entry prompt or a message box may open inside the yield: in its own event loop
// the window is drawn as usual, and what the yield held is asked for again when it ends.
TEST(PaintHoldingPumpTest, HoldsOnlyTheYieldsOwnLoopAndAsksAgainAfterwards) {
    EnsureQtApplication();
    QWidget window;
    window.resize(80, 40);
    std::map<QObject*, int> paints;
    PaintCounter counter(paints);
    window.installEventFilter(&counter);
    window.show();
    ASSERT_TRUE(PumpUntil([&] { return paints[&window] > 0; }));
    SettleEvents();
    const int shown = paints[&window];

    int inModalLoop = 0;
    CallPump plain([&] {
        window.update();
        QCoreApplication::processEvents();
        EXPECT_EQ(paints[&window], shown) << "a paint in the yield itself";
        window.update();
        EXPECT_TRUE(PumpUntil([&] { return paints[&window] == shown + 1; })) << "a nested loop";
        inModalLoop = paints[&window];
        window.update();
        QCoreApplication::processEvents();
    });
    PaintHoldingPump pump(window, plain);
    pump.Yield();
    EXPECT_EQ(inModalLoop, shown + 1);
    EXPECT_TRUE(PumpUntil([&] { return paints[&window] == shown + 2; }));
}

}  // namespace
}  // namespace brisolant::test
