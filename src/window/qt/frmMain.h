#pragma once

#include <QMainWindow>
#include <array>
#include <memory>
#include <string>

#include "common/Clock.h"
#include "common/MainWindowView.h"
#include "common/qt/QtMessagePresenter.h"
#include "device/qt/QtPortWatch.h"
#include "device/qt/SerialCommPort.h"
#include "window/MainWindowLogic.h"
#include "window/qt/QtEventPump.h"
#include "window/qt/QtInputPrompt.h"
#include "window/qt/QtRetryTimer.h"

class QAction;
class QLabel;
class QLineEdit;

namespace brisolant {

class ClickLabel;
class PanelStatusBar;
class RecordListView;
class StatusLight;

// The main window: the last scan, the counter, the status light, the logo, the status bar and
// the record list. It shows what the logic asks for and passes on what the operator and the
// port do; all decisions are the logic's.
class frmMain : public QMainWindow, public MainWindowView {
    Q_OBJECT

  public:
    // A program in a folder of its own: "Orvane.ini" beside it.
    explicit frmMain(const std::string& programDir, QWidget* parent = nullptr);
    explicit frmMain(SettingsPlace place, QWidget* parent = nullptr);
    ~frmMain() override;

    MainWindowLogic& Logic() { return *m_logic; }
    SerialCommPort& Comm() { return m_comm; }
    QtPortWatch& PortWatch() { return m_portWatch; }

    // MainWindowView.
    void SetPanelText(int panel, const std::string& text) override;
    void SetPanelMinWidth(int panel, int twips) override;
    void SetLightColour(std::uint32_t colour) override;
    void SetDataReceivedText(const std::string& text) override;
    void SetDataReceivedVisible(bool visible) override;
    bool DataReceivedVisible() const override;
    std::string ErrorsText() const override;
    void SetErrorsText(const std::string& text) override;
    void SetDataText(int index, const std::string& text) override;
    void SetCounterText(const std::string& text) override;
    void SetDataMenuEnabled(bool enabled) override;
    void SetDataMenuChecked(bool checked) override;
    bool DataMenuChecked() const override;
    void ClearList() override;
    void AppendListLine(const std::string& line) override;
    void AppendListFile(const std::string& path) override;
    void SetListVisible(bool visible) override;
    int ListWidth() const override { return m_listWidthTwips; }
    void SetListGeometry(int top, int width, int height) override;
    int OuterWidth() const override;
    int OuterHeight() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // frmMainLayout.cpp: the elements, their geometry and fonts, and the menus.
    void BuildElements();
    void BuildValueColumn(QWidget* canvas);
    void BuildOtherElements(QWidget* canvas);
    void BuildMenus();

    // frmMain.cpp: the commands.
    void ConnectCommands();
    void mnuSettings_Click();
    void mnuAbout_Click();
    void CloseMenuBar();
    void mnuData_Click();
    void Repaint();
    void PlaceList();
    // Runs a step of the logic; a failure that escapes it is shown in panel 1, never thrown
    // through Qt.
    template <typename Step>
    void Run(Step&& step);

    std::array<QLineEdit*, 12> m_txtData{};
    std::array<QLabel*, 12> m_lblData{};
    QLineEdit* m_txtCounter = nullptr;
    QLabel* m_lblCounter = nullptr;
    StatusLight* m_shpLight = nullptr;
    QLabel* m_lblDataReceived = nullptr;
    QLabel* m_lblErrors = nullptr;
    QLabel* m_Image1 = nullptr;
    ClickLabel* m_lblHiddenButton = nullptr;
    RecordListView* m_lstData = nullptr;
    PanelStatusBar* m_StatusBar = nullptr;
    QAction* m_mnuExit = nullptr;
    QAction* m_mnuSettings = nullptr;
    QAction* m_mnuResetCounter = nullptr;
    QAction* m_mnuData = nullptr;
    QAction* m_mnuTest = nullptr;
    QAction* m_mnuAbout = nullptr;
    bool m_dataChecked = false;
    int m_listWidthTwips = 9465;
    int m_listTopTwips = 50;
    int m_listHeightTwips = 255;

    SerialCommPort m_comm;
    QtPortWatch m_portWatch;
    QtEventPump m_pump;
    QtInputPrompt m_prompt;
    QtMessagePresenter m_messages;
    SystemClock m_clock;
    QtRetryTimer m_retryTimer;
    std::unique_ptr<MainWindowLogic> m_logic;
};

}  // namespace brisolant
