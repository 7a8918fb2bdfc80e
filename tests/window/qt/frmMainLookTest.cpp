#include <gtest/gtest.h>

#include <QLabel>
#include <QScreen>
#include <QScrollArea>

#include "common/qt/ReadableText.h"
#include "settings/qt/frmSettings.h"
#include "support/DarkPalette.h"
#include "support/QtWaiting.h"
#include "support/Screenshot.h"
#include "window/qt/MainWindowFixture.h"

namespace brisolant::test {
namespace {

class frmMainLookTest : public MainWindowFixture {
  protected:
    bool InSight(const char* name) const { return !Find<QWidget>(name)->visibleRegion().isEmpty(); }
};

// The window opens within the free part of its screen (at a scale factor of 2 on a small screen
// too), shrinks no further than its minimum, and keeps its status bar in sight below elements
// that scroll.
TEST_F(frmMainLookTest, ASmallWindowKeepsItsStatusBarAndScrollsToEveryElement) {
    frmMain& w = Open(pty.path());
    EXPECT_TRUE(w.screen()->availableGeometry().contains(w.frameGeometry()))
        << w.frameGeometry().width() << "x" << w.frameGeometry().height() << " min "
        << w.minimumSize().width() << "x" << w.minimumSize().height();

    w.resize(150, 100);
    SettleEvents();
    EXPECT_EQ(w.size(), w.minimumSize());
    EXPECT_GT(w.width(), 150);
    auto* bar = Find<QWidget>("StatusBar");
    EXPECT_EQ(bar->mapTo(&w, QPoint(0, bar->height())).y(), w.height());
    EXPECT_EQ(Panel(1), "Status: Waiting Idle");
    for (const char* name : {"lblData0", "txtData0", "lblData3", "txtData3"}) {
        EXPECT_TRUE(InSight(name)) << name;
    }
    EXPECT_FALSE(InSight("txtCounter"));
    Find<QScrollArea>("fraView")->ensureWidgetVisible(Find<QWidget>("txtCounter"));
    EXPECT_TRUE(InSight("txtCounter"));
    EXPECT_TRUE(SaveScreenshot(w, "main-smallest"));
}

// A desktop that turns dark while the program runs: the disabled counter's grey follows.
TEST_F(frmMainLookTest, TheCounterStaysReadableWhenThePaletteTurnsDark) {
    frmMain& w = Open(pty.path());
    const ApplicationPalette dark(DarkPalette());
    SettleEvents();
    const QPalette counter = Find<ValueBox>("txtCounter")->palette();
    EXPECT_GE(ContrastRatio(counter.color(QPalette::Disabled, QPalette::Text),
                            counter.color(QPalette::Disabled, QPalette::Base)),
              4.5);
    EXPECT_EQ(counter.color(QPalette::Disabled, QPalette::Base),
              DarkPalette().color(QPalette::Base));
    EXPECT_TRUE(SaveScreenshot(w, "main-dark"));

    RecordingMessages messages;
    frmSettings dialog(w.recorder().settings(), messages, &w);
    dialog.show();
    EXPECT_TRUE(SaveScreenshot(dialog, "settings-dark"));
}

}  // namespace
}  // namespace brisolant::test
