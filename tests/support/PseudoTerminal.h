#pragma once

// A pseudo-terminal pair standing in for a serial line: the program opens the slave's path as
// its port, the test plays the station on the master.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>

#include "station/PseudoTerminal.h"
#include "support/QtWaiting.h"

namespace brisolant::test {

class PseudoTerminal {
  public:
    PseudoTerminal() {
        try {
            pair_ = std::make_unique<station::PseudoTerminal>();
        } catch (const std::runtime_error&) {
            // ok() tells the test; it skips where the system gives no pseudo-terminal.
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return pair_ != nullptr; }
    // The slave's device path, for the program to open.
    const std::string& path() const { return pair_->SlavePath(); }

    // Sends bytes as the station would, waiting while the line is full.
    void Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(pair_->MasterFd(), bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd fd{pair_->MasterFd(), POLLOUT, 0};
                ::poll(&fd, 1, 100);
            } else {
                return;
            }
        }
    }

    // What the program has sent so far and not yet read here.
    std::string ReadAvailable() {
        std::string bytes;
        char buffer[256];
        ssize_t n = 0;
        while ((n = ::read(pair_->MasterFd(), buffer, sizeof buffer)) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    // The station goes away: the port sees its far end close. The extra slave handle would keep
    // the line alive for nobody; it goes too.
    void CloseMaster() { pair_->Close(); }

  private:
    std::unique_ptr<station::PseudoTerminal> pair_;
};

}  // namespace brisolant::test
