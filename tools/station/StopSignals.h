#pragma once

// SIGINT, SIGTERM and SIGHUP (its terminal window closed) end the station cleanly, its link
// removed. They are blocked except while it waits, so a signal can never slip in between
// checking the flag and starting to wait.

#include <poll.h>

namespace brisolant::station {

class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool Stopped() const;

    // Waits for the descriptors or the timeout (negative: none), ending early on a stop signal.
    // Returns poll's count, 0 on timeout or stop; -1 with errno on another failure.
    int Wait(pollfd* fds, nfds_t count, double timeoutSeconds) const;

    // Sleeps, ending early on a stop signal. Returns false when stopped.
    bool Sleep(double seconds) const;
};

}  // namespace brisolant::station
