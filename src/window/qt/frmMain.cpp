#include "window/qt/frmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "about/qt/frmAbout.h"
#include "common/RunGuarded.h"
#include "common/qt/Latin1Text.h"
#include "common/qt/QtLocale.h"
#include "common/qt/QueuedCall.h"
#include "common/qt/TwipsLayout.h"
#include "settings/qt/frmSettings.h"
#include "store/pg/PgDatabaseSession.h"
#include "window/qt/ClickLabel.h"
#include "window/qt/CoveredSiblings.h"
#include "window/qt/PanelStatusBar.h"
#include "window/qt/RecordListView.h"
#include "window/qt/ScreenFit.h"
#include "window/qt/StatusLight.h"
#include "window/qt/ValueBox.h"

namespace brisolant {

frmMain::frmMain(const std::string& programDir, QWidget* parent)
    : frmMain(ProgramFolderPlace(programDir), parent) {}

frmMain::frmMain(SettingsPlace place, QWidget* parent, DataFileOpener openDataFile)
    : QMainWindow(parent),
      prompt_(this),
      messages_(this),
      dataFileReader_(QueuedCall(this, [this] { Run([this] { logic_->TakeDataFileAnswers(); }); }),
                      std::move(openDataFile)) {
    BuildElements(place.stationName);
    logic_ = std::make_unique<MainWindowLogic>(
        *this, dataFileReader_,
        platform_.Services({*this, heldLine_, heldPump_, prompt_, messages_}, std::move(place),
                           {}));
    ConnectCommands();
    Run([this] { logic_->Form_Load(); });
}

frmMain::~frmMain() {
    // The port's events end first, so that none reaches a half-destroyed window.
    platform_.Disconnect();
    platform_.ClosePort();
}

// Every step may change what the site's monitoring sees.
template <typename Step>
void frmMain::Run(Step&& step) {
    struct Held {
        HeldLineStatusView& line;
        ~Held() { line.Release(); }
    } held{heldLine_};
    heldLine_.Hold();
    RunGuarded(std::forward<Step>(step),
               [this](const Failure& failure) { recorder().ShowFailure(failure); });
    if (metrics_) {
        metrics_->Changed();
    }
    FollowWriting();
}

void frmMain::KeepMetrics(MetricsSetup setup, MetricsWriter::Report report) {
    setup.recordsName = [this] { return DatabaseStationName(recorder().settings()); };
    metrics_.emplace(
        std::move(setup), [this] { return recorder().Figures(); }, std::move(report));
    metrics_->Start();
}

// The repaint after a scan waits for its record to be reported on the disk, for a frame at most.
void frmMain::FollowWriting() {
    if (logic_ && recorder().RecordsOnTheirWay()) {
        paintGate_.HoldWhileWriting();
    } else {
        paintGate_.Written();
    }
}

void frmMain::ConnectCommands() {
    platform_.Connect(recorder(), [this](const std::function<void()>& step) { Run(step); });
    connect(mnuExit_, &QAction::triggered, this, &QWidget::close);
    connect(mnuSettings_, &QAction::triggered, this, &frmMain::mnuSettings_Click);
    connect(mnuResetCounter_, &QAction::triggered, this,
            [this] { Run([this] { logic_->mnuResetCounter_Click(); }); });
    connect(mnuData_, &QAction::triggered, this, &frmMain::mnuData_Click);
    connect(mnuTest_, &QAction::triggered, this, [this] {
        CloseMenuBar();
        Run([this] { logic_->mnuTest_Click(); });
    });
    connect(mnuAbout_, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(lblHiddenButton_, &ClickLabel::clicked, this,
            [this] { Run([this] { logic_->lblHiddenButton_Click(); }); });
}

void frmMain::mnuSettings_Click() {
    Run([this] {
        frmSettings dialog(recorder().settings(), messages_, this, TestDatabaseConnection);
        dialog.exec();
    });
    if (after_settings_dialog_) {
        after_settings_dialog_();
    }
    // Confirmed or cancelled, the settings are read again and the port reopened.
    Run([this] { recorder().LoadSettingsAndOpenPort(); });
}

// Test and About sit on the menu bar itself, which keeps the clicked one highlighted until the
// pointer leaves it; the windows they open must not show it still lit. The bar takes a leave as
// the end of a command without a menu, and opens no menu on the next hover.
void frmMain::CloseMenuBar() {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(menuBar(), &leave);
}

void frmMain::mnuAbout_Click() {
    CloseMenuBar();
    Run([this] {
        frmAbout dialog(this);
        const Settings& settings = recorder().settings();
        dialog.ShowLocations(QString::fromStdString(settings.IniFilePath),
                             QString::fromStdString(settings.FilePath));
        dialog.exec();
    });
}

void frmMain::mnuData_Click() {
    // Qt has already flipped the check mark; the logic decides what it becomes.
    mnuData_->setChecked(dataChecked_);
    Run([this] { logic_->mnuData_Click(); });
}

void frmMain::Repaint() {
    if (logic_) {
        Run([this] { logic_->Repaint(); });
    }
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous() && !fitted_) {
        // The frame is known now: fitted again, the window is sure to be on its screen whole.
        fitted_ = true;
        FitIntoScreen(*this, screen()->availableGeometry());
    }
    Repaint();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Repaint();
}

void frmMain::closeEvent(QCloseEvent* event) {
    prompt_.EndWithoutAsking();
    platform_.ClosePort();
    Run([this] { logic_->Form_Unload(); });
    if (metrics_) {
        metrics_->Stop();
    }
    event->accept();
    QCoreApplication::quit();
}

void frmMain::EndAfterSignal(MessagePresenter& console) {
    prompt_.EndWithoutAsking();
    platform_.ClosePort();
    Run([this, &console] { logic_->Unload(console); });
    if (metrics_) {
        metrics_->Stop();
    }
}

void frmMain::SetStatusText(const std::string& text) {
    StatusBar_->SetPanelText(1, FromStatusText(text));
}

void frmMain::SetFileText(const std::string& text) {
    StatusBar_->SetPanelText(2, FromStatusText(text));
}

void frmMain::SetConnectionText(const std::string& text) {
    StatusBar_->SetPanelText(3, FromStatusText(text));
}

void frmMain::SetPanelMinWidth(int panel, int twips) {
    StatusBar_->SetPanelWidth(panel, TwipsToPixels(*this, twips));
}

void frmMain::SetLightColour(std::uint32_t colour) {
    shpLight_->SetColour(colour);
}

void frmMain::SetDataReceivedText(const std::string& text) {
    lblDataReceived_->setText(FromLatin1(text));
}

void frmMain::SetDataReceivedVisible(bool visible) {
    lblDataReceived_->setVisible(visible);
}

bool frmMain::DataReceivedVisible() const {
    return !lblDataReceived_->isHidden();
}

void frmMain::SetErrorCount(std::int64_t count) {
    lblErrors_->setText(QString::number(count));
}

void frmMain::SetDataText(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(txtData_.size())) {
        // A box lays out and draws its text again only when it changes; most fields repeat.
        txtData_[static_cast<std::size_t>(index)]->SetText(FromLatin1(text));
    }
}

void frmMain::SetCounterText(const std::string& text) {
    txtCounter_->SetText(FromLatin1(text));
}

void frmMain::SetDataMenuEnabled(bool enabled) {
    mnuData_->setEnabled(enabled);
}

void frmMain::SetDataMenuChecked(bool checked) {
    dataChecked_ = checked;
    mnuData_->setChecked(checked);
}

bool frmMain::DataMenuChecked() const {
    return dataChecked_;
}

void frmMain::ClearList() {
    lstData_->Clear();
}

void frmMain::AppendListRecord(const WrittenRecord& record) {
    if (dataChecked_) {
        lstData_->AppendRecord(record.path, record.offset, record.line);
    }
}

void frmMain::ShowListReading() {
    lstData_->ShowReading();
}

void frmMain::ShowListLines(DataFileLines lines) {
    lstData_->ShowFile(std::move(lines));
}

void frmMain::SetListVisible(bool visible) {
    if (!visible && lstData_->hasFocus()) {
        // Otherwise the focus passes on to the Barcode box, which selects all its text.
        lstData_->clearFocus();
    }
    lstData_->setVisible(visible);
    SuspendCoveredSiblings(*lstData_);
}

void frmMain::SetListGeometry(int top, int width, int height) {
    listTopTwips_ = top;
    listWidthTwips_ = width;
    listHeightTwips_ = height;
    PlaceList();
}

// What the window shows of the elements' canvas, which scrolls in a window too small for it.
QWidget* frmMain::ListRoom() const {
    return lstData_->parentWidget()->parentWidget();
}

// The list's height comes from the window's outer height, title and menu bar included; it ends
// above the status bar, so that its last row and its scroll bar stay in sight.
void frmMain::PlaceList() {
    const int top = TwipsToPixels(*this, listTopTwips_);
    const int room = std::max(ListRoom()->height() - top, 0);
    lstData_->setGeometry(0, top, TwipsToPixels(*this, listWidthTwips_),
                          std::min(TwipsToPixels(*this, listHeightTwips_), room));
    SuspendCoveredSiblings(*lstData_);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (lstData_ != nullptr && watched == ListRoom() && event->type() == QEvent::Resize) {
        PlaceList();
    }
    if (watched == txtCounter_ && event->type() == QEvent::PaletteChange) {
        KeepCounterReadable();
    }
    return QMainWindow::eventFilter(watched, event);
}

int frmMain::OuterWidth() const {
    return PixelsToTwips(*this, frameGeometry().width());
}

int frmMain::OuterHeight() const {
    return PixelsToTwips(*this, frameGeometry().height());
}

}  // namespace brisolant
