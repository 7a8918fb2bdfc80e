#include "device/PortKeeper.h"

namespace brisolant {

PortKeeper::PortKeeper(CommPort& comm, PortStatusView& view, PortWatch& watch, CommHandler& handler)
    : comm_(comm), view_(view), watch_(watch), handler_(handler) {}

bool PortKeeper::ComesBack(FailureCode code) {
    switch (code) {
        case FailureCode::PortOpenFailed:
        case FailureCode::PortVanished:
        case FailureCode::PortPermissionDenied:
        case FailureCode::PortDeviceMissing:
        case FailureCode::PortInUse:
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

void PortKeeper::Opened() {
    if (failure_) {
        Reopened();
    }
}

void PortKeeper::Lost(const Failure& failure) {
    Show(failure);
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
                               *failure_ == FailureCode::PortVanished;
        if (failure.code() != *failure_ && !stillGone) {
            Lost(failure);
        }
        return;
    }
    Reopened();
}

void PortKeeper::Show(const Failure& failure) {
    failure_ = failure.code();
    const std::string text = StatusText(failure);
    view_.SetPortFailure(text);
    view_.SetPanelText(1, text);
    view_.SetLightColour(kLightGrey);
}

// Whatever was half received before the loss belongs to a scan that will not be finished.
void PortKeeper::Reopened() {
    failure_.reset();
    view_.SetPortFailure(std::nullopt);
    if (watching_) {
        watch_.Stop();
        watching_ = false;
    }
    handler_.PortOpened();
    view_.SetPanelText(1, "Status: Waiting Idle");
    view_.SetLightColour(kLightGreen);
}

}  // namespace brisolant
