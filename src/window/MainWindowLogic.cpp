#include "window/MainWindowLogic.h"

#include <algorithm>
#include <cmath>

#include "device/PortSetup.h"
#include "scan/RecordJournal.h"

namespace brisolant {

namespace {

constexpr int kListTop = 50;
constexpr float kListWidthMargin = 150;
constexpr float kListHeightMargin = 1000;

int Twips(float value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

MainWindowLogic::MainWindowLogic(MainWindowServices services)
    : services_(std::move(services)),
      port_view_(services_.view),
      scan_processor_(state_, port_view_, services_.prompt, settings_, services_.clock,
                      services_.locale, services_.files, services_.retryTimer),
      comm_handler_(state_, port_view_, services_.comm, services_.pump, scan_processor_),
      port_keeper_(services_.comm, port_view_, services_.portWatch, comm_handler_) {}

void MainWindowLogic::Form_Load() {
    LoadSettingsAndOpenPort();
    services_.view.SetDataMenuEnabled(false);
    port_view_.SetLightColour(kLightGreen);
    state_.ScanCounter = 0;
    services_.view.SetCounterText("0");
    // Scans an earlier run could not write go first, before anything new arrives.
    scan_processor_.OpenJournal(JournalPathFor(settings_.IniFilePath));
}

void MainWindowLogic::Form_Unload() {
    const std::size_t waiting = scan_processor_.WaitingCount();
    if (waiting == 0) {
        return;
    }
    const std::size_t lost = scan_processor_.KeepWaitingScans();
    std::string text =
        std::to_string(waiting) + (waiting == 1 ? " scan is not in the data file yet. "
                                                : " scans are not in the data file yet. ");
    if (lost == 0) {
        text += waiting == 1 ? "It is kept and will be written when the program starts again."
                             : "They are kept and will be written when the program starts again.";
    } else {
        text += std::to_string(lost) + " of them could not be kept in the journal and are lost.";
    }
    services_.messages.ShowMessage("Waiting Scans", text);
}

void MainWindowLogic::WriteWaitingScans() {
    if (scan_processor_.WriteWaitingScans() && services_.comm.PortOpen()) {
        services_.view.SetPanelText(1, "Status: Waiting Idle");
    }
}

void MainWindowLogic::LoadSettingsAndOpenPort() {
    LoadSettings(settings_, services_.place, services_.messages);
    // Waiting scans go to the folder named now: a corrected folder releases them.
    (void)scan_processor_.SetDestination();
    MainWindowView& view = services_.view;
    CommPort& comm = services_.comm;
    // Without a port the program still records test scans and shows its data; the operator
    // sees why the port is missing, and the keeper opens it as soon as the device is there.
    try {
        if (comm.PortOpen()) {
            comm.SetPortOpen(false);
        }
        const std::string device = PortDevice(settings_.CommPort);
        comm.SetCommPort(device);
        port_keeper_.SetDevice(device);
        comm.SetSettings(LineSettingsString(settings_));
        comm.SetPortOpen(true);
        comm_handler_.PortOpened();
        view.SetPanelText(1, "Status: Waiting Idle");
        port_keeper_.Opened();
    } catch (const Failure& failure) {
        port_keeper_.Lost(failure);
    }
    view.SetPanelText(2, "File: " + settings_.FilePath + state_.DataFileName);
    view.SetPanelText(
        3, "Connecton: " + (comm.PortOpen() ? comm.Settings() : LineSettingsString(settings_)));
}

void MainWindowLogic::ReportPortFailure(const Failure& failure) {
    port_keeper_.Lost(failure);
}

void MainWindowLogic::mnuResetCounter_Click() {
    state_.ScanCounter = 0;
    services_.view.SetCounterText("0");
}

void MainWindowLogic::mnuData_Click() {
    MainWindowView& view = services_.view;
    if (view.DataMenuChecked()) {
        view.SetDataMenuChecked(false);
        view.ClearList();
        view.SetListVisible(false);
        return;
    }
    view.SetDataMenuChecked(true);
    LayoutDataView();
}

void MainWindowLogic::LayoutDataView() {
    MainWindowView& view = services_.view;
    try {
        const float width = static_cast<float>(view.OuterWidth());
        const float height = static_cast<float>(view.OuterHeight());
        view.SetListGeometry(kListTop, Twips(std::max(0.0f, width - kListWidthMargin)),
                             Twips(std::max(0.0f, height - kListHeightMargin)));
        view.SetListVisible(true);
        view.AppendListFile(settings_.FilePath + state_.DataFileName);
    } catch (const Failure& failure) {
        view.SetListVisible(false);
        view.SetDataMenuEnabled(false);
        view.SetDataMenuChecked(false);
        view.SetPanelText(1, StatusText(failure));
        // Emptying the list also releases the file, and the next switch-on shows each line once.
        view.ClearList();
    }
}

void MainWindowLogic::lblHiddenButton_Click() {
    services_.view.SetDataReceivedVisible(!services_.view.DataReceivedVisible());
}

void MainWindowLogic::Repaint() {
    MainWindowView& view = services_.view;
    const float width = static_cast<float>(view.OuterWidth());
    const float height = static_cast<float>(view.OuterHeight());
    view.SetPanelMinWidth(1, Twips(width / 2));
    view.SetPanelMinWidth(2, Twips(width / 4));
    view.SetPanelMinWidth(3, Twips(width / 4));
    const float listWidth = width - kListWidthMargin;
    if (Twips(listWidth) == view.ListWidth()) {
        return;
    }
    // A window too small for the list keeps a list of no size rather than a negative one.
    view.SetListGeometry(kListTop, Twips(std::max(0.0f, listWidth)),
                         Twips(std::max(0.0f, height - kListHeightMargin)));
}

}  // namespace brisolant
