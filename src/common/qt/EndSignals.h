#pragma once

#include <signal.h>

#include <QObject>
#include <array>
#include <functional>

class QSocketNotifier;

namespace brisolant {

// SIGTERM, SIGHUP and SIGINT, with which logout, shutdown, systemctl stop, kill and a closed
// terminal end a program, turned into a call on the event loop's thread. A signal handler may do
// next to nothing safely, so it only writes the signal's number into a pipe, which a socket
// notifier reads. One instance at a time; the signals' earlier handling comes back when it goes.
// Signals held back before it was made come through once it is.
class EndSignals : public QObject {
    Q_OBJECT

  public:
    static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};

    // Holds the signals back until an instance handles them: called first thing in main, so a
    // signal that comes while the program starts ends it through the event loop, not at once.
    static void HoldUntilHandled();
    // The first ending signal held back and not yet handled; 0 when none waits.
    static int Pending();

    explicit EndSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // The first of the signals that has come through; 0 while none has.
    [[nodiscard]] int Received() const { return received_; }
    // "SIGTERM", for a log line.
    [[nodiscard]] static const char* Name(int signal);

  private:
    void Read();

    std::array<int, 2> pipe_ = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::function<void(int)> on_signal_;
    int received_ = 0;
    std::array<struct sigaction, kSignals.size()> earlier_{};
};

}  // namespace brisolant
