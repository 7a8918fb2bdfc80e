#include "common/qt/EndSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <utility>

namespace brisolant {

namespace {

// The pipe's writing end: all the handler may touch.
std::atomic<int> signalPipe{-1};

void WriteSignal(int signal) {
    const int savedErrno = errno;
    const char number = static_cast<char>(signal);
    // A full pipe already holds enough to end the program.
    (void)!::write(signalPipe.load(), &number, 1);
    errno = savedErrno;
}

sigset_t EndingSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : EndSignals::kSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

}  // namespace

void EndSignals::HoldUntilHandled() {
    const sigset_t set = EndingSignalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int EndSignals::Pending() {
    sigset_t pending;
    if (::sigpending(&pending) != 0) {
        return 0;
    }
    for (const int signal : kSignals) {
        if (sigismember(&pending, signal) == 1) {
            return signal;
        }
    }
    return 0;
}

EndSignals::EndSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), on_signal_(std::move(onSignal)) {
    // Without a pipe the signals keep their default action, which ends the program at once.
    const sigset_t held = EndingSignalSet();
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        ::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
        return;
    }
    signalPipe = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndSignals::Read);
    struct sigaction action {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &earlier_[i]);
    }
    // What came while they were held is handled now, through the pipe.
    ::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
}

EndSignals::~EndSignals() {
    if (pipe_[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &earlier_[i], nullptr);
    }
    signalPipe = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

const char* EndSignals::Name(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        case SIGINT:
            return "SIGINT";
        default:
            return "a signal";
    }
}

void EndSignals::Read() {
    char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(pipe_[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            const int signal = numbers[i];
            if (received_ == 0) {
                received_ = signal;
            }
            if (on_signal_) {
                on_signal_(signal);
            }
        }
    }
}

}  // namespace brisolant
