#pragma once

// A pseudo-terminal pair standing in for a serial line: the program opens the slave's path as
// its port, the test plays the station on the master.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <string>

namespace brisolant::test {

class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        const char* name = ::ptsname(master_);
        if (name == nullptr) {
            return;
        }
        path_ = name;
        // Raw mode, so the line discipline passes every byte as it is.
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        termios tio{};
        if (slave_ >= 0 && ::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
    }
    ~PseudoTerminal() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    // The slave's device path, for the program to open.
    const std::string& path() const { return path_; }

    // Sends bytes as the station would.
    void Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    // What the program has sent so far and not yet read here.
    std::string ReadAvailable() {
        std::string bytes;
        pollfd fd{master_, POLLIN, 0};
        while (::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    // The station goes away: the port sees its far end close.
    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
        // The extra slave handle would keep the line alive for nobody; drop it too.
        if (slave_ >= 0) {
            ::close(slave_);
            slave_ = -1;
        }
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Runs the event loop for a short slice, waiting for events rather than spinning.
inline void PumpSlice() {
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the condition holds or a generous time has passed.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        PumpSlice();
    }
    return true;
}

// Runs the event loop for a while, for checks that nothing more happens.
inline void PumpFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        PumpSlice();
    }
}

}  // namespace brisolant::test
