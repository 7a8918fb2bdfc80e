#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/qt/QtMessagePresenter.h"
#include "device/LineStatusView.h"
#include "device/qt/QtEventPump.h"
#include "recorder/qt/MetricsWriter.h"
#include "recorder/qt/RecorderPlatform.h"
#include "scan/ScanDisplay.h"
#include "window/DataFileReader.h"
#include "window/MainWindowLogic.h"
#include "window/MainWindowView.h"
#include "window/qt/HeldLineStatusView.h"
#include "window/qt/PaintHoldingPump.h"
#include "window/qt/QtInputPrompt.h"
#include "window/qt/ScanPaintGate.h"

class QAction;
class QLabel;

namespace brisolant {

class ClickLabel;
class PanelStatusBar;
class RecordListView;
class StatusLight;
class ValueBox;

// The main window: the last scan, the counter, the status light, the logo, the status bar and
// the record list. It shows what the recorder and the window's logic ask for and passes on what
// the operator, the port and the writer do; all decisions are theirs.
class frmMain : public QMainWindow,
                public ScanDisplay,
                public LineStatusView,
                public MainWindowView {
    Q_OBJECT

  public:
    // A program in a folder of its own: "Orvane.ini" beside it.
    explicit frmMain(const std::string& programDir, QWidget* parent = nullptr);
    // The data view's file is read on threads of their own, through `openDataFile` when given.
    explicit frmMain(SettingsPlace place, QWidget* parent = nullptr,
                     DataFileOpener openDataFile = {});
    ~frmMain() override;

    // Runs after each close of the settings dialog, before the settings are read again.
    void SetAfterSettingsDialog(std::function<void()> step) {
        after_settings_dialog_ = std::move(step);
    }

    // From now on the station's figures go to a metrics file for the site's monitoring, written
    // for the last time when the window closes.
    void KeepMetrics(MetricsSetup setup, MetricsWriter::Report report);

    Recorder& recorder() { return logic_->recorder(); }
    SerialCommPort& Comm() { return platform_.Comm(); }
    QtPortWatch& PortWatch() { return platform_.PortWatch(); }
    ScanPaintGate& PaintGate() { return paintGate_; }
    // A signal ended the event loop: the port closes, the writer has its few seconds, and what
    // still waits is told on the console, since nobody may be there to close a message box.
    void EndAfterSignal(MessagePresenter& console);

    // ScanDisplay.
    void SetDataText(int index, const std::string& text) override;
    void SetCounterText(const std::string& text) override;
    void SetFileText(const std::string& text) override;
    void SetDataMenuEnabled(bool enabled) override;
    void AppendListRecord(const WrittenRecord& record) override;

    // LineStatusView.
    void SetLightColour(std::uint32_t colour) override;
    void SetStatusText(const std::string& text) override;
    void SetConnectionText(const std::string& text) override;
    void SetDataReceivedText(const std::string& text) override;
    void SetErrorCount(std::int64_t count) override;

    // MainWindowView.
    void SetPanelMinWidth(int panel, int twips) override;
    void SetDataReceivedVisible(bool visible) override;
    bool DataReceivedVisible() const override;
    void SetDataMenuChecked(bool checked) override;
    bool DataMenuChecked() const override;
    void ClearList() override;
    void ShowListReading() override;
    void ShowListLines(DataFileLines lines) override;
    void SetListVisible(bool visible) override;
    int ListWidth() const override { return listWidthTwips_; }
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
    void BuildElements(const std::string& stationName);
    void BuildValueColumn(QWidget* canvas);
    void BuildOtherElements(QWidget* canvas);
    void BuildMenus();
    void KeepCounterReadable();

    // frmMain.cpp: the commands.
    void ConnectCommands();
    void mnuSettings_Click();
    void mnuAbout_Click();
    void CloseMenuBar();
    void mnuData_Click();
    void Repaint();
    void PlaceList();
    QWidget* ListRoom() const;
    // Runs a step of the logic; a failure that escapes it, or anything else thrown (out of
    // memory), is shown in panel 1, never thrown through Qt.
    template <typename Step>
    void Run(Step&& step);
    void FollowWriting();

    std::array<ValueBox*, 12> txtData_{};
    std::array<QLabel*, 12> lblData_{};
    ValueBox* txtCounter_ = nullptr;
    QLabel* lblCounter_ = nullptr;
    StatusLight* shpLight_ = nullptr;
    QLabel* lblDataReceived_ = nullptr;
    QLabel* lblErrors_ = nullptr;
    QLabel* Image1_ = nullptr;
    ClickLabel* lblHiddenButton_ = nullptr;
    RecordListView* lstData_ = nullptr;
    PanelStatusBar* StatusBar_ = nullptr;
    QAction* mnuExit_ = nullptr;
    QAction* mnuSettings_ = nullptr;
    QAction* mnuResetCounter_ = nullptr;
    QAction* mnuData_ = nullptr;
    QAction* mnuTest_ = nullptr;
    QAction* mnuAbout_ = nullptr;
    bool dataChecked_ = false;
    bool fitted_ = false;
    int listWidthTwips_ = 9465;
    int listTopTwips_ = 50;
    int listHeightTwips_ = 255;

    QtEventPump pump_;
    PaintHoldingPump heldPump_{*this, pump_};
    HeldLineStatusView heldLine_{*this};
    ScanPaintGate paintGate_{*this};
    QtInputPrompt prompt_;
    QtMessagePresenter messages_;
    // Before the logic, which records through it, and after it on the way out: the port and
    // its events end before the window does.
    RecorderPlatform platform_;
    // Before the logic, which reads through it; gone after it, a read that answers late is
    // dropped.
    ThreadedDataFileReader dataFileReader_;
    std::unique_ptr<MainWindowLogic> logic_;
    std::function<void()> after_settings_dialog_;
    std::optional<MetricsWriter> metrics_;
};

}  // namespace brisolant
