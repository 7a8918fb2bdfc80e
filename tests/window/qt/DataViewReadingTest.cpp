// The data view reads its file away from the window's thread. Here the read is held by the test,
// as a data folder on a share that stopped answering holds it: the window, the line and the menu
// go on meanwhile, and the view fills once the read is let go.

#include <gtest/gtest.h>

#include <QAction>
#include <QTimer>
#include <atomic>
#include <future>
#include <memory>
#include <string>

#include "device/CommHandler.h"
#include "e2e/StationText.h"
#include "support/QtWaiting.h"
#include "support/Screenshot.h"
#include "support/Waiting.h"
#include "window/DropMark.h"
#include "window/RecordLines.h"
#include "window/qt/MainWindowFixture.h"
#include "window/qt/RecordListView.h"

namespace brisolant::test {
namespace {

class DataViewReadingTest : public MainWindowFixture {
  protected:
    // The main window, whose data view's reads wait until the test lets them go.
    frmMain& OpenHeld() {
        WriteSettings(pty.path());
        window = std::make_unique<frmMain>(
            ProgramFolderPlace(program.path().string()), nullptr,
            [held = held_, &dropped = dropped_](const std::string& path) {
                held.wait();
                return DropMark::Marked(ReadDataFileLines(path, RecordLines::kMaxShownBytes),
                                        dropped);
            });
        window->show();
        return *window;
    }
    void LetReadsGo() { gate_.set_value(); }
    RecordListView* List() const { return Find<RecordListView>("lstData"); }
    void RecordATestScan(const QString& counter) {
        Action("mnuTest")->trigger();
        ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == counter; }));
    }

    std::promise<void> gate_;
    std::shared_future<void> held_ = gate_.get_future().share();
    std::atomic<bool> dropped_{false};
};

TEST_F(DataViewReadingTest, WhileTheFileIsReadTheWindowTheLineAndTheMenuGoOn) {
    frmMain& w = OpenHeld();
    RecordATestScan("1");
    RecordATestScan("2");

    QAction* dataMenu = Action("mnuData");
    dataMenu->trigger();
    EXPECT_TRUE(dataMenu->isChecked());
    EXPECT_FALSE(List()->isHidden());
    EXPECT_TRUE(List()->Reading());
    EXPECT_EQ(List()->RowCount(), 0);
    EXPECT_TRUE(SaveScreenshot(w, "main-data-view-reading"));

    // The event loop turns: a queued call runs, the line is answered, a scan is recorded.
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    ASSERT_TRUE(PumpUntil([&] { return ran; }));
    pty.Write(e2e::kShortBlock);
    std::string replies;
    ASSERT_TRUE(PumpUntil(
        [&] { return (replies += pty.ReadAvailable()).find(e2e::kNak) != std::string::npos; }));
    pty.Write("\x02" + CommHandler::TestScanText());
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "3"; }));

    // The menu switches the view off and on again; the first read's answer is not for it.
    dataMenu->trigger();
    EXPECT_FALSE(dataMenu->isChecked());
    EXPECT_TRUE(List()->isHidden());
    dataMenu->trigger();
    EXPECT_TRUE(List()->Reading());
    RecordATestScan("4");
    EXPECT_EQ(List()->RowCount(), 0) << "a record written meanwhile waits behind the file";

    LetReadsGo();
    ASSERT_TRUE(PumpUntil([&] { return !List()->Reading(); }));
    ASSERT_EQ(List()->RowCount(), 4) << "each record once: the file held the fourth already";
    EXPECT_TRUE(List()->RowText(3).contains("1234567890"));
    EXPECT_TRUE(PumpUntil([&] { return dropped_.load(); })) << "the first read's answer went";
    EXPECT_TRUE(dataMenu->isEnabled());
}

// The window can go (the program ends) while a read still hangs: nothing waits for the read, and
// its late answer goes nowhere.
TEST_F(DataViewReadingTest, TheWindowClosesWhileItsFileIsStillRead) {
    OpenHeld();
    RecordATestScan("1");
    Action("mnuData")->trigger();
    ASSERT_TRUE(List()->Reading());

    Action("mnuExit")->trigger();
    window.reset();
    LetReadsGo();

    EXPECT_TRUE(WaitUntil([&] { return dropped_.load(); }));
}

}  // namespace
}  // namespace brisolant::test
