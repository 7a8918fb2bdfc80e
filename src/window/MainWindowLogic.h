#pragma once

#include <string>

#include "common/Clock.h"
#include "common/Failure.h"
#include "common/LocaleFormat.h"
#include "common/MainWindowState.h"
#include "common/MainWindowView.h"
#include "common/MessagePresenter.h"
#include "device/CommHandler.h"
#include "device/CommPort.h"
#include "device/PortKeeper.h"
#include "device/PortStatusView.h"
#include "device/PortWatch.h"
#include "scan/FileLayer.h"
#include "scan/RetryTimer.h"
#include "scan/ScanProcessor.h"
#include "settings/Settings.h"

namespace brisolant {

// The platform pieces the main window's logic reaches the outside world through.
struct MainWindowServices {
    MainWindowView& view;
    CommPort& comm;
    PortWatch& portWatch;  // runs only while the port is closed
    EventPump& pump;
    InputPrompt& prompt;
    MessagePresenter& messages;
    const Clock& clock;
    LocaleFormat locale;
    SettingsPlace place;  // where the settings file and the default data folder are
    FileLayer& files;
    RetryTimer& retryTimer;  // asks for WriteWaitingScans while scans wait
};

// Everything the main window does, without any toolkit: start-up, the port handler, scan
// processing and the menu commands. The Qt window implements MainWindowView and forwards its
// notifications here.
class MainWindowLogic {
  public:
    explicit MainWindowLogic(MainWindowServices services);

    // The window's load step: settings, port, panels, Data menu off, light green, counter 0.
    void Form_Load();
    // Reloads the settings and reopens the port; a port that cannot be opened is reported in
    // panel 1 and the program goes on without it.
    void LoadSettingsAndOpenPort();

    // The window is closing: the operator learns how many scans wait for the next start.
    void Form_Unload();
    // The retry timer ticked. Once the last waiting scan is written, panel 1 says all is well,
    // unless the port is closed.
    void WriteWaitingScans();

    // The port reported an event.
    void Comm_OnComm() { comm_handler_.Comm_OnComm(); }
    // The port failed outside any handler run (for example an adapter was unplugged) and is
    // closed.
    void ReportPortFailure(const Failure& failure);
    // The port watch fired: the device may be back.
    void PortMayBeBack() { port_keeper_.TryReopen(); }

    // Commands.
    void mnuResetCounter_Click();
    void mnuData_Click();
    void mnuTest_Click() { comm_handler_.InjectTestScan(); }
    void lblHiddenButton_Click();
    // The window was repainted (shown, uncovered or resized).
    void Repaint();

    const Settings& settings() const { return settings_; }
    const MainWindowState& state() const { return state_; }
    MainWindowState& state() { return state_; }

  private:
    void LayoutDataView();

    MainWindowServices services_;
    Settings settings_;
    MainWindowState state_;
    // Processing and reception write to the window through this, so that nothing they show
    // says all is well while the port is closed.
    PortStatusView port_view_;
    ScanProcessor scan_processor_;
    CommHandler comm_handler_;
    PortKeeper port_keeper_;
};

}  // namespace brisolant
