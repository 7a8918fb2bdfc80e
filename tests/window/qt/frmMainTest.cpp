#include "window/qt/frmMain.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "common/qt/ReadableText.h"
#include "device/CommHandler.h"
#include "support/PseudoTerminal.h"
#include "support/QtTestApp.h"
#include "support/Screenshot.h"
#include "support/TestSupport.h"
#include "window/qt/MainWindowFixture.h"
#include "window/qt/RecordListView.h"
#include "window/qt/StatusLight.h"

namespace brisolant::test {
namespace {

class frmMainTest : public MainWindowFixture {};

TEST_F(frmMainTest, StartsIdleWithThePortOpenAndTheHiddenElementsHidden) {
    frmMain& w = Open(pty.path());
    EXPECT_EQ(w.windowTitle(), "Orvane Brisolant");
    EXPECT_EQ(Panel(1), "Status: Waiting Idle");
    EXPECT_EQ(Panel(2), QString::fromStdString("File: " + data.folder()));
    EXPECT_EQ(Panel(3), "Connecton: 9600,N,8,1");
    EXPECT_EQ(Find<StatusLight>("shpLight")->Colour(), kLightGreen);
    EXPECT_TRUE(w.Comm().PortOpen());

    auto* counter = Find<ValueBox>("txtCounter");
    EXPECT_EQ(counter->Text(), "0");
    EXPECT_FALSE(counter->isEnabled());
    for (int i = 0; i < 12; ++i) {
        auto* box = Find<ValueBox>(QStringLiteral("txtData%1").arg(i));
        EXPECT_TRUE(box->Text().isEmpty()) << i;
    }
    for (const char* hidden : {"txtData1", "lblData1", "lblErrors", "lblDataReceived", "lstData"}) {
        EXPECT_TRUE(Find<QWidget>(hidden)->isHidden()) << hidden;
    }
    // Logo and icon come from the embedded resources.
    EXPECT_FALSE(Find<QLabel>("Image1")->isHidden());
    // On a screen of 96 dpi, the picture of the size shown; anywhere else, the full one.
    EXPECT_EQ(Find<QLabel>("Image1")->pixmap().size(),
              w.logicalDpiX() == 96 ? QSize(355, 133) : QSize(586, 205));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(Find<QLabel>("lblErrors")->text(), "0");

    QAction* dataMenu = Action("mnuData");
    EXPECT_TRUE(dataMenu->isCheckable());
    EXPECT_FALSE(dataMenu->isChecked());
    EXPECT_FALSE(dataMenu->isEnabled());
    for (const char* enabled :
         {"mnuExit", "mnuSettings", "mnuResetCounter", "mnuTest", "mnuAbout"}) {
        EXPECT_TRUE(Action(enabled)->isEnabled()) << enabled;
    }
}

// Two stations on one PC: the caption the window system shows names each one's settings file.
TEST_F(frmMainTest, TheCaptionNamesTheStationOfASettingsFileNamedOutright) {
    WriteSettings(pty.path());
    const std::pair<std::string, std::string> cases[] = {
        {"", "Orvane Brisolant"},
        {"dock1", "Orvane Brisolant \u2014 dock1"},
        {"bay [*] 2", "Orvane Brisolant \u2014 bay [*] 2"},  // not Qt's modified mark
    };
    for (const auto& [station, caption] : cases) {
        SettingsPlace place = ProgramFolderPlace(program.path().string());
        place.stationName = station;
        window = std::make_unique<frmMain>(place);
        window->show();
        ASSERT_NE(window->windowHandle(), nullptr);
        EXPECT_EQ(window->windowHandle()->title().toStdString(), caption) << station;
        window.reset();
    }
}

TEST_F(frmMainTest, LaysOutTheElementsAtTheirTwipPositions) {
    frmMain& w = Open(pty.path());
    const double scale = w.logicalDpiX() / 1440.0;
    const auto px = [scale](int twips) { return qRound(twips * scale); };
    EXPECT_EQ(w.centralWidget()->size(), QSize(px(9570), px(6105)));
    EXPECT_EQ(Find<QWidget>("StatusBar")->geometry().top(), px(5730));

    // The captions of rows 6 to 8 carry other indexes than the boxes beside them.
    struct Row {
        const char* caption;
        const char* text;
        const char* box;
    };
    for (const Row& row :
         {Row{"lblData0", "Barcode", "txtData0"}, Row{"lblData7", "Length", "txtData6"},
          Row{"lblData8", "Width", "txtData7"}, Row{"lblData6", "Height", "txtData8"},
          Row{"lblData11", "Dim Volume", "txtData11"},
          Row{"lblCounter", "Counter", "txtCounter"}}) {
        auto* caption = Find<QLabel>(row.caption);
        auto* box = Find<ValueBox>(row.box);
        EXPECT_EQ(caption->text(), row.text);
        EXPECT_EQ(box->accessibleName(), row.text) << "what a screen reader calls the box";
        EXPECT_LT(std::abs(caption->geometry().center().y() - box->geometry().center().y()),
                  px(120))
            << row.caption;
        EXPECT_GE(caption->width(), caption->sizeHint().width()) << row.text << " is cut off";
        EXPECT_LE(caption->geometry().right() + px(60), box->x()) << row.text << " touches its box";
    }
    EXPECT_EQ(Find<QWidget>("txtData0")->width(), px(4605));
    EXPECT_EQ(Find<QWidget>("lblHiddenButton")->geometry(),
              QRect(px(6300), px(4260), px(75), px(75)));

    // The repaint rule has sized the panels from the outer width and the list to fit.
    const int outer = w.OuterWidth();
    EXPECT_EQ(Find<QLabel>("lblPanel1")->width(), px(qRound(outer / 2.0)));
    EXPECT_EQ(Find<RecordListView>("lstData")->width(), px(outer - 150));
}

TEST_F(frmMainTest, AScanFromTheStationIsWrittenAndShown) {
    Open(pty.path());
    pty.Write("\x02" + CommHandler::TestScanText());
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));

    const auto files = DataFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(files[0].find("1234567890"), std::string::npos);
    EXPECT_EQ(std::count(files[0].begin(), files[0].end(), '\n'), 1);
    EXPECT_TRUE(Box("txtData0").startsWith("1234567890"));
    EXPECT_TRUE(Box("txtData6").startsWith("11.0 in"));
    EXPECT_EQ(Panel(1), "Status: Waiting Idle");
    EXPECT_TRUE(Panel(2).startsWith(QString::fromStdString("File: " + data.folder() + "LOG-")));
    EXPECT_EQ(Find<StatusLight>("shpLight")->Colour(), kLightGreen);
    EXPECT_TRUE(Action("mnuData")->isEnabled());
}

TEST_F(frmMainTest, WithoutAPortTheTestCommandStillWritesARecord) {
    frmMain& w = Open("/nonexistent");
    const QString failure = Panel(1);
    EXPECT_TRUE(failure.startsWith("Status: 209 ")) << failure.toStdString();
    EXPECT_FALSE(w.Comm().PortOpen());
    EXPECT_TRUE(w.PortWatch().Running());

    Action("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    ASSERT_EQ(DataFiles().size(), 1u);
    EXPECT_NE(DataFiles()[0].find("1234567890"), std::string::npos);
    // Nothing can arrive, so nothing may say all is well.
    EXPECT_EQ(Panel(1), failure);
    EXPECT_EQ(Find<StatusLight>("shpLight")->Colour(), kLightGrey);

    EXPECT_TRUE(SaveScreenshot(w, "main"));
}

TEST_F(frmMainTest, AStationThatGoesAwayIsReportedAndThePortClosed) {
    frmMain& w = Open(pty.path());
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return Panel(1).startsWith("Status: 207 "); }));
    EXPECT_FALSE(w.Comm().PortOpen());
    EXPECT_EQ(Find<StatusLight>("shpLight")->Colour(), kLightGrey);
    SettleEvents();
    EXPECT_TRUE(Panel(1).startsWith("Status: 207 "));
}

// The station's adapter is pulled and plugged in again: its link goes and comes back,
// leading to a new device.
TEST_F(frmMainTest, AStationThatComesBackIsOpenedAgainAndItsScansRecorded) {
    const std::string link = program.file("station-port");
    std::filesystem::create_symlink(pty.path(), link);
    frmMain& w = Open(link);
    ASSERT_TRUE(w.Comm().PortOpen()) << Panel(1).toStdString();
    pty.Write("\x02     Device Number:      1\r\n");
    pty.CloseMaster();
    std::filesystem::remove(link);
    ASSERT_TRUE(PumpUntil([&] { return Panel(1).startsWith("Status: 207 "); }));

    PseudoTerminal back;
    ASSERT_TRUE(back.ok());
    std::filesystem::create_symlink(back.path(), link);
    ASSERT_TRUE(PumpUntil([&] { return w.Comm().PortOpen(); })) << Panel(1).toStdString();
    EXPECT_EQ(Panel(1), "Status: Waiting Idle");
    EXPECT_EQ(Find<StatusLight>("shpLight")->Colour(), kLightGreen);
    EXPECT_FALSE(w.PortWatch().Running());

    back.Write("\x02" + CommHandler::TestScanText());
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    EXPECT_TRUE(Box("txtData6").startsWith("11.0 in")) << "nothing of the lost scan glued on";
}

TEST_F(frmMainTest, ASecondWindowOnTheSamePortSaysWhoHoldsIt) {
    Open(pty.path());
    auto second = std::make_unique<frmMain>(program.path().string());
    const QString panel = second->findChild<QLabel*>(QStringLiteral("lblPanel1"))->toolTip();
    EXPECT_TRUE(panel.startsWith("Status: 210 The serial port is in use by another program: " +
                                 QString::fromStdString(pty.path()) + ", held by "))
        << panel.toStdString();
    EXPECT_TRUE(
        panel.endsWith(QStringLiteral("(process %1)").arg(QCoreApplication::applicationPid())))
        << panel.toStdString();
}

TEST_F(frmMainTest, CommandsResetTheCounterShowTheDataAndToggleTheRawText) {
    Open(pty.path());
    Action("mnuTest")->trigger();
    Action("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "2"; }));

    Action("mnuResetCounter")->trigger();
    EXPECT_EQ(Box("txtCounter"), "0");

    // The Data view lists the file's lines, read away from the window's thread; switched off
    // it is emptied and hidden.
    QAction* dataMenu = Action("mnuData");
    auto* list = Find<RecordListView>("lstData");
    dataMenu->trigger();
    EXPECT_TRUE(dataMenu->isChecked());
    EXPECT_FALSE(list->isHidden());
    ASSERT_TRUE(PumpUntil([&] { return !list->Reading(); }));
    EXPECT_EQ(list->RowCount(), 2);
    Action("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return list->RowCount() == 3; }));
    dataMenu->trigger();
    EXPECT_FALSE(dataMenu->isChecked());
    EXPECT_TRUE(list->isHidden());
    EXPECT_EQ(list->RowCount(), 0);

    // The hidden spot over the logo shows and hides the raw text; a click on the text itself
    // changes nothing.
    auto* raw = Find<QLabel>("lblDataReceived");
    auto* spot = Find<QWidget>("lblHiddenButton");
    Click(spot, spot->rect().center());
    EXPECT_FALSE(raw->isHidden());
    EXPECT_TRUE(raw->text().startsWith("[     ---"));
    Click(raw, raw->rect().center());
    EXPECT_FALSE(raw->isHidden());
    Click(spot, spot->rect().center());
    EXPECT_TRUE(raw->isHidden());
}

TEST_F(frmMainTest, ExitClosesThePortAndTheWindow) {
    frmMain& w = Open(pty.path());
    Action("mnuExit")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Comm().PortOpen());
}

// Panel 1 is the operator's only trace of a failure: a text cut by the panel's width ends in
// "…", and the tooltip holds it whole. A text that fits is shown as it is.
TEST_F(frmMainTest, APanelTooNarrowForItsTextEndsInAnEllipsisAndShowsItWhole) {
    frmMain& w = Open(pty.path());
    auto* panel1 = Find<QLabel>("lblPanel1");
    const std::string failure =
        "Status: 202 Cannot open the serial port: /dev/serial/by-id/"
        "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0: No such file or directory";

    w.SetStatusText(failure);

    EXPECT_EQ(panel1->toolTip().toStdString(), failure);
    EXPECT_TRUE(panel1->text().endsWith(QChar(0x2026))) << panel1->text().toStdString();
    EXPECT_TRUE(QString::fromStdString(failure).startsWith(panel1->text().chopped(1)));
    EXPECT_LE(panel1->fontMetrics().horizontalAdvance(panel1->text()),
              panel1->contentsRect().width());

    w.SetStatusText("Status: Waiting Idle");
    EXPECT_EQ(panel1->text(), "Status: Waiting Idle");
    EXPECT_EQ(panel1->toolTip(), "Status: Waiting Idle");
}

// The counter keeps the disabled style, in a grey that can be read on its box.
TEST_F(frmMainTest, TheDisabledCounterIsReadable) {
    Open(pty.path());
    auto* counter = Find<ValueBox>("txtCounter");
    const QPalette& palette = counter->palette();

    EXPECT_FALSE(counter->isEnabled());
    EXPECT_GE(ContrastRatio(palette.color(QPalette::Disabled, QPalette::Text),
                            palette.color(QPalette::Disabled, QPalette::Base)),
              4.5);
    EXPECT_NE(palette.color(QPalette::Disabled, QPalette::Text),
              palette.color(QPalette::Active, QPalette::Text));
}

// The list ends above the status bar, so that its last row and its horizontal scroll bar stay
// in sight, at the first size and after the window was made shorter.
TEST_F(frmMainTest, TheDataListEndsAboveTheStatusBar) {
    frmMain& w = Open(pty.path());
    Action("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    Action("mnuData")->trigger();
    auto* list = Find<RecordListView>("lstData");
    auto* bar = Find<QWidget>("StatusBar");
    const auto bottomInWindow = [&] { return list->mapTo(&w, QPoint(0, list->height())).y(); };

    ASSERT_FALSE(list->isHidden());
    EXPECT_LE(bottomInWindow(), bar->mapTo(&w, QPoint(0, 0)).y());

    w.resize(w.width(), w.height() - 100);
    QApplication::processEvents();
    EXPECT_LE(bottomInWindow(), bar->mapTo(&w, QPoint(0, 0)).y());
    EXPECT_GT(list->height(), 0);
}

// The list covers most of the window: while it is open, what lies wholly beneath it is not
// drawn, however often a scan changes it, and once it closes all of it is drawn as it then is.
TEST_F(frmMainTest, WhatTheOpenDataViewCoversIsDrawnOnlyOnceItCloses) {
    frmMain& w = Open(pty.path());
    Action("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    Action("mnuData")->trigger();
    auto* list = Find<RecordListView>("lstData");
    ASSERT_TRUE(PumpUntil([&] { return list->RowCount() == 1; }));
    EXPECT_TRUE(SaveScreenshot(w, "main-data-view"));

    std::map<QObject*, int> paints;
    PaintCounter counter(paints);
    const std::vector<QWidget*> beneath{Find<QWidget>("shpLight"), Find<QWidget>("txtData0"),
                                        Find<QWidget>("txtData3"), Find<QWidget>("lblData0")};
    for (QWidget* widget : beneath) {
        widget->installEventFilter(&counter);
    }
    Action("mnuTest")->trigger();
    pty.Write("\x02" + CommHandler::TestScanText());
    ASSERT_TRUE(PumpUntil([&] { return list->RowCount() == 3; }));
    SettleEvents();
    for (QWidget* widget : beneath) {
        EXPECT_EQ(paints[widget], 0) << widget->objectName().toStdString();
    }

    Action("mnuData")->trigger();
    for (QWidget* widget : beneath) {
        EXPECT_TRUE(PumpUntil([&] { return paints[widget] > 0; }))
            << widget->objectName().toStdString();
    }
    EXPECT_EQ(Box("txtCounter"), "3");
    EXPECT_TRUE(SaveScreenshot(w, "main-after-data-view"));
}

// Switching the view off must not hand the focus to the Barcode box.
TEST_F(frmMainTest, SwitchingTheDataViewOffLeavesNoSelectionBehind) {
    frmMain& w = Open(pty.path());
    Action("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    Action("mnuData")->trigger();
    QApplication::setActiveWindow(&w);
    auto* list = Find<RecordListView>("lstData");
    list->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return list->hasFocus(); }));

    Action("mnuData")->trigger();

    EXPECT_TRUE(list->isHidden());
    EXPECT_FALSE(Find<ValueBox>("txtData0")->hasFocus());
}

// Acts on the next modal dialog once it is up. It is looked for from timers rather than a
// waiting loop, since the window's own steps run the event loop before the dialog opens.
void WhenDialogOpens(std::function<void(QDialog*)> step, int triesLeft = kTriesEvery10Ms) {
    QTimer::singleShot(10, [step, triesLeft] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr || triesLeft == 0) {
            step(dialog);
        } else {
            WhenDialogOpens(step, triesLeft - 1);
        }
    });
}

// Test and About are commands on the menu bar itself: the window they open must not find the
// clicked one still lit.
TEST_F(frmMainTest, TheMenuBarIsNoLongerLitWhileTheAboutBoxIsOpen) {
    frmMain& w = Open(pty.path());
    QMenuBar* bar = w.menuBar();
    QAction* about = Action("mnuAbout");
    QAction* lit = about;
    bool opened = false;
    WhenDialogOpens([&](QDialog* dialog) {
        opened = dialog != nullptr;
        lit = bar->activeAction();
        if (dialog) {
            dialog->reject();
        }
    });

    Click(bar, bar->actionGeometry(about).center());

    EXPECT_TRUE(opened);
    EXPECT_EQ(lit, nullptr);
}

TEST_F(frmMainTest, ACancelledSettingsDialogStillReloadsTheSettingsAndReopensThePort) {
    frmMain& w = Open(pty.path());
    WriteSettings(pty.path(), {}, "19200");
    bool closed = false;
    WhenDialogOpens([&](QDialog* dialog) {
        closed = dialog != nullptr;
        if (dialog) {
            dialog->reject();
        }
    });
    Action("mnuSettings")->trigger();
    EXPECT_TRUE(closed);
    EXPECT_EQ(Panel(3), "Connecton: 19200,N,8,1");
    EXPECT_TRUE(w.Comm().PortOpen());
}

TEST_F(frmMainTest, TheManualEntryAnswerReachesTheFileInLatin1) {
    Open(pty.path(), "ManualEntryData=1\r\n");
    QString label;
    WhenDialogOpens([&](QDialog* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        if (input == nullptr) {
            ADD_FAILURE() << "not an input box: "
                          << (dialog ? dialog->metaObject()->className() : "none") << " "
                          << (dialog ? dialog->windowTitle().toStdString() : "");
            if (dialog) {
                dialog->reject();
            }
            return;
        }
        label = input->labelText();
        EXPECT_EQ(input->windowTitle(), "Manual Entry");
        EXPECT_TRUE(input->textValue().isEmpty());
        input->setTextValue(QString::fromUtf8("caf\u00e9 \u2713"));
        input->accept();
    });
    Action("mnuTest")->trigger();
    EXPECT_EQ(label, "Enter any addtional information to this record\n50 Character maximum");
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    ASSERT_EQ(DataFiles().size(), 1u);
    EXPECT_NE(DataFiles()[0].find("caf\xE9 ?"), std::string::npos);
}

}  // namespace
}  // namespace brisolant::test
