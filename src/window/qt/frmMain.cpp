#include "window/qt/frmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <algorithm>

#include "about/qt/frmAbout.h"
#include "common/qt/Latin1Text.h"
#include "common/qt/TwipsLayout.h"
#include "settings/qt/frmSettings.h"
#include "window/qt/ClickLabel.h"
#include "window/qt/PanelStatusBar.h"
#include "window/qt/QtLocale.h"
#include "window/qt/RecordListView.h"
#include "window/qt/StatusLight.h"

namespace brisolant {

frmMain::frmMain(const std::string& programDir, QWidget* parent)
    : frmMain(ProgramFolderPlace(programDir), parent) {}

frmMain::frmMain(SettingsPlace place, QWidget* parent)
    : QMainWindow(parent),
      m_prompt(this),
      m_messages(this),
      m_retryTimer([this] { Run([this] { m_logic->WriteWaitingScans(); }); }) {
    BuildElements();
    m_logic = std::make_unique<MainWindowLogic>(
        MainWindowServices{*this, m_comm, m_portWatch, m_pump, m_prompt, m_messages, m_clock,
                           SystemLocaleFormat(), std::move(place), PosixFiles(), m_retryTimer});
    ConnectCommands();
    Run([this] { m_logic->Form_Load(); });
}

frmMain::~frmMain() {
    // The port goes first, so that no event reaches a half-destroyed window.
    m_comm.SetEventHandler(nullptr);
    m_comm.SetFailureHandler(nullptr);
    m_portWatch.SetHandler(nullptr);
    m_portWatch.Stop();
    m_comm.SetPortOpen(false);
}

template <typename Step>
void frmMain::Run(Step&& step) {
    try {
        step();
    } catch (const Failure& failure) {
        SetPanelText(1, StatusText(failure));
    }
}

void frmMain::ConnectCommands() {
    m_comm.SetEventHandler([this] { Run([this] { m_logic->Comm_OnComm(); }); });
    m_comm.SetFailureHandler([this](const Failure& failure) {
        Run([this, &failure] { m_logic->ReportPortFailure(failure); });
    });
    m_portWatch.SetHandler([this] { Run([this] { m_logic->PortMayBeBack(); }); });
    connect(m_mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(m_mnuSettings, &QAction::triggered, this, &frmMain::mnuSettings_Click);
    connect(m_mnuResetCounter, &QAction::triggered, this,
            [this] { Run([this] { m_logic->mnuResetCounter_Click(); }); });
    connect(m_mnuData, &QAction::triggered, this, &frmMain::mnuData_Click);
    connect(m_mnuTest, &QAction::triggered, this, [this] {
        CloseMenuBar();
        Run([this] { m_logic->mnuTest_Click(); });
    });
    connect(m_mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(m_lblHiddenButton, &ClickLabel::clicked, this,
            [this] { Run([this] { m_logic->lblHiddenButton_Click(); }); });
}

void frmMain::mnuSettings_Click() {
    {
        frmSettings dialog(m_logic->settings(), m_messages, this);
        dialog.exec();
    }
    // Confirmed or cancelled, the settings are read again and the port reopened.
    Run([this] { m_logic->LoadSettingsAndOpenPort(); });
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
    frmAbout dialog(this);
    const Settings& settings = m_logic->settings();
    dialog.ShowLocations(QString::fromStdString(settings.IniFilePath),
                         QString::fromStdString(settings.FilePath));
    dialog.exec();
}

void frmMain::mnuData_Click() {
    // Qt has already flipped the check mark; the logic decides what it becomes.
    m_mnuData->setChecked(m_dataChecked);
    Run([this] { m_logic->mnuData_Click(); });
}

void frmMain::Repaint() {
    if (m_logic) {
        Run([this] { m_logic->Repaint(); });
    }
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Repaint();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Repaint();
}

void frmMain::closeEvent(QCloseEvent* event) {
    m_portWatch.Stop();
    m_comm.SetPortOpen(false);
    Run([this] { m_logic->Form_Unload(); });
    event->accept();
    QCoreApplication::quit();
}

void frmMain::SetPanelText(int panel, const std::string& text) {
    m_StatusBar->SetPanelText(panel, FromStatusText(text));
}

void frmMain::SetPanelMinWidth(int panel, int twips) {
    m_StatusBar->SetPanelWidth(panel, TwipsToPixels(*this, twips));
}

void frmMain::SetLightColour(std::uint32_t colour) {
    m_shpLight->SetColour(colour);
}

void frmMain::SetDataReceivedText(const std::string& text) {
    m_lblDataReceived->setText(FromLatin1(text));
}

void frmMain::SetDataReceivedVisible(bool visible) {
    m_lblDataReceived->setVisible(visible);
}

bool frmMain::DataReceivedVisible() const {
    return !m_lblDataReceived->isHidden();
}

std::string frmMain::ErrorsText() const {
    return ToLatin1(m_lblErrors->text());
}

void frmMain::SetErrorsText(const std::string& text) {
    m_lblErrors->setText(FromLatin1(text));
}

void frmMain::SetDataText(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(m_txtData.size())) {
        QLineEdit* box = m_txtData[static_cast<std::size_t>(index)];
        const QString shown = FromLatin1(text);
        // Laying out a box's text is half of what a scan costs the window; most fields repeat.
        if (shown != box->text()) {
            box->setText(shown);
            box->setCursorPosition(0);
        }
    }
}

void frmMain::SetCounterText(const std::string& text) {
    const QString shown = FromLatin1(text);
    if (shown != m_txtCounter->text()) {
        m_txtCounter->setText(shown);
    }
}

void frmMain::SetDataMenuEnabled(bool enabled) {
    m_mnuData->setEnabled(enabled);
}

void frmMain::SetDataMenuChecked(bool checked) {
    m_dataChecked = checked;
    m_mnuData->setChecked(checked);
}

bool frmMain::DataMenuChecked() const {
    return m_dataChecked;
}

void frmMain::ClearList() {
    m_lstData->Clear();
}

void frmMain::AppendListLine(const std::string& line) {
    m_lstData->AppendLine(line);
}

void frmMain::AppendListFile(const std::string& path) {
    m_lstData->AppendFile(path);
}

void frmMain::SetListVisible(bool visible) {
    if (!visible && m_lstData->hasFocus()) {
        // Otherwise the focus passes on to the Barcode box, which selects all its text.
        m_lstData->clearFocus();
    }
    m_lstData->setVisible(visible);
}

void frmMain::SetListGeometry(int top, int width, int height) {
    m_listTopTwips = top;
    m_listWidthTwips = width;
    m_listHeightTwips = height;
    PlaceList();
}

// The list's height comes from the window's outer height, title and menu bar included; it ends
// above the status bar, so that its last row and its scroll bar stay in sight.
void frmMain::PlaceList() {
    const int top = TwipsToPixels(*this, m_listTopTwips);
    const int room = std::max(m_lstData->parentWidget()->height() - top, 0);
    m_lstData->setGeometry(0, top, TwipsToPixels(*this, m_listWidthTwips),
                           std::min(TwipsToPixels(*this, m_listHeightTwips), room));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (m_lstData != nullptr && watched == m_lstData->parentWidget() &&
        event->type() == QEvent::Resize) {
        PlaceList();
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
