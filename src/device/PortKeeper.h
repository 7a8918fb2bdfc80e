#pragma once

#include <optional>
#include <string>

#include "common/Failure.h"
#include "device/CommHandler.h"
#include "device/CommPort.h"
#include "device/LineStatus.h"
#include "device/PortWatch.h"
#include "settings/Settings.h"

namespace brisolant {

// Keeps the port open for as long as the program runs, and is the one that knows why it is
// closed. It opens the port the settings name; when the port closes because its device went away
// or could not be opened, it shows why (panel 1, grey light), waits for the device through the
// watch and opens the same device again with the same line settings. A failure that only a
// settings change mends (no such port number, line settings refused), and a pseudo-terminal,
// whose path is not the station's once gone, are shown and not waited for. A link to a
// pseudo-terminal is waited for: the port refuses it while it is older than its terminal, and
// the station that made it makes it again with its next terminal.
class PortKeeper {
  public:
    PortKeeper(CommPort& comm, LineStatus& status, PortWatch& watch, CommHandler& handler);

    // Whether the device may come back by itself after this failure.
    static bool ComesBack(FailureCode code);
    // Whether a device path can lead to the same device again once it is gone.
    static bool NameComesBack(const std::string& device);

    // Closes the port if it is open and opens the one the settings name.
    void Open(const Settings& settings);
    // The port is closed, or could not be opened, for this failure.
    void Lost(const Failure& failure);
    // The watch fired: the device may be back.
    void TryReopen();

  private:
    void Opened();

    CommPort& comm_;
    LineStatus& status_;
    PortWatch& watch_;
    CommHandler& handler_;
    std::string device_;
    std::string watched_;             // the device the running watch waits for
    std::optional<Failure> failure_;  // what keeps the port closed
    bool watching_ = false;
};

}  // namespace brisolant
