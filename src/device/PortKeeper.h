#pragma once

#include <optional>
#include <string>

#include "common/Failure.h"
#include "device/CommHandler.h"
#include "device/CommPort.h"
#include "device/PortStatusView.h"
#include "device/PortWatch.h"

namespace brisolant {

// Keeps the port open for as long as the program runs. When the port closes because its device
// went away or could not be opened, the keeper shows why (panel 1, grey light), waits for the
// device through the watch and opens the same device again with the same line settings. A
// failure that only a settings change mends (no such port number, line settings refused), and
// a pseudo-terminal, whose path is not the station's once gone, are shown and not waited for.
class PortKeeper {
  public:
    PortKeeper(CommPort& comm, PortStatusView& view, PortWatch& watch, CommHandler& handler);

    // Whether the device may come back by itself after this failure.
    static bool ComesBack(FailureCode code);
    // Whether a device path can lead to the same device again once it is gone.
    static bool NameComesBack(const std::string& device);

    // The device the settings name; the one waited for.
    void SetDevice(const std::string& device) { device_ = device; }
    // The port has just been opened from the settings.
    void Opened();
    // The port is closed, or could not be opened, for this failure.
    void Lost(const Failure& failure);
    // The watch fired: the device may be back.
    void TryReopen();

    bool Closed() const { return failure_.has_value(); }

  private:
    void Show(const Failure& failure);
    void Reopened();

    CommPort& comm_;
    PortStatusView& view_;
    PortWatch& watch_;
    CommHandler& handler_;
    std::string device_;
    std::string watched_;                 // the device the running watch waits for
    std::optional<FailureCode> failure_;  // what keeps the port closed
    bool watching_ = false;
};

}  // namespace brisolant
