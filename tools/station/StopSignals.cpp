#include "StopSignals.h"

#include <signal.h>

#include <cerrno>
#include <cmath>

#include "Monotonic.h"

namespace brisolant::station {
namespace {

volatile sig_atomic_t g_stopRequested = 0;
sigset_t g_previousMask;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = StopSet();
    sigprocmask(SIG_BLOCK, &set, &g_previousMask);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Started under nohup, it keeps ignoring a hang-up as it was asked to.
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN) {
        sigaction(SIGHUP, &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    sigprocmask(SIG_SETMASK, &g_previousMask, nullptr);
}

bool StopSignals::Stopped() const {
    return g_stopRequested != 0;
}

int StopSignals::Wait(pollfd* fds, nfds_t count, double timeoutSeconds) const {
    if (Stopped()) {
        return 0;
    }
    sigset_t waitMask = g_previousMask;
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    timespec timeout{};
    timespec* timeoutPointer = nullptr;
    if (timeoutSeconds >= 0) {
        const double whole = std::floor(timeoutSeconds);
        timeout.tv_sec = static_cast<time_t>(whole);
        timeout.tv_nsec = static_cast<long>((timeoutSeconds - whole) * 1e9);
        timeoutPointer = &timeout;
    }
    const int result = ppoll(fds, count, timeoutPointer, &waitMask);
    if (result < 0 && errno == EINTR) {
        return 0;
    }
    return result;
}

bool StopSignals::Sleep(double seconds) const {
    const double deadline = MonotonicSeconds() + seconds;
    while (!Stopped()) {
        const double left = deadline - MonotonicSeconds();
        if (left <= 0) {
            return true;
        }
        Wait(nullptr, 0, left);
    }
    return false;
}

}  // namespace brisolant::station
