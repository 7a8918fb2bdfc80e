#include "device/PortKeeper.h"

#include "device/PortSetup.h"

namespace brisolant {

PortKeeper::PortKeeper(CommPort& comm, LineStatus& status, PortWatch& watch, CommHandler& handler)
    : comm_(comm), status_(status), watch_(watch), handler_(handler) {}

bool PortKeeper::ComesBack(FailureCode code) {
    switch (code) {
        case FailureCode::PortOpenFailed:
        case FailureCode::PortVanished:
        case FailureCode::PortPermissionDenied:
        case FailureCode::PortDeviceMissing:
        case FailureCode::PortInUse:
        case FailureCode::PortLinkStale:
            return true;
        default:
            return false;
    }
}

// A pseudo-terminal's number goes to the next terminal opened on the machine: once gone, the
// same path leads to somebody else's session, never back to the station.
bool PortKeeper::NameComesBack(const std::string& device) {
    return !device.empty() && !device.starts_with("/dev/pts/");
}

// Without a port the program still records test scans and shows its data; the operator sees
// why the port is missing, and the device is opened as soon as it is there.
void PortKeeper::Open(const Settings& settings) {
    try {
        if (comm_.PortOpen()) {
            comm_.SetPortOpen(false);
        }
        device_.clear();
        device_ = PortDevice(settings.CommPort);
        comm_.SetCommPort(device_);
        comm_.SetSettings(LineSettingsString(settings));
        comm_.SetPortOpen(true);
    } catch (const Failure& failure) {
        Lost(failure);
        return;
    }
    Opened();
}

void PortKeeper::Lost(const Failure& failure) {
    failure_ = failure;
    status_.SetPortClosed(failure);
    status_.ShowFailure(failure);
    const bool wait = ComesBack(failure.code()) && NameComesBack(device_);
    if (wait && (!watching_ || watched_ != device_)) {
        watch_.Start(device_);
        watched_ = device_;
    } else if (!wait && watching_) {
        watch_.Stop();
    }
    watching_ = wait;
}

void PortKeeper::TryReopen() {
    if (!failure_ || comm_.PortOpen()) {
        return;
    }
    try {
        comm_.SetPortOpen(true);
    } catch (const Failure& failure) {
        // A device that is still missing keeps the report of its going away; anything new
        // (no permission, another program holding it, settings it refuses) is shown.
        const bool stillGone = failure.code() == FailureCode::PortDeviceMissing &&
                               failure_->code() == FailureCode::PortVanished;
        if (failure.code() != failure_->code() && !stillGone) {
            Lost(failure);
        }
        return;
    }
    Opened();
}

// Whatever was half received before the loss belongs to a scan that will not be finished. A port
// that was closed lights green again; one reopened after the settings dialog keeps its light.
void PortKeeper::Opened() {
    const bool wasClosed = failure_.has_value();
    failure_.reset();
    status_.SetPortClosed(std::nullopt);
    if (watching_) {
        watch_.Stop();
        watching_ = false;
    }
    handler_.PortOpened();
    status_.ShowIdle();
    if (wasClosed) {
        status_.SetLightColour(kLightGreen);
    }
}

}  // namespace brisolant
