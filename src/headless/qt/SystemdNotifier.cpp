#include "headless/qt/SystemdNotifier.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>

namespace brisolant {

void SystemdNotifier::Ready() {
    (void)sd_notify(0, "READY=1");
}

void SystemdNotifier::Stopping() {
    (void)sd_notify(0, "STOPPING=1");
}

void SystemdNotifier::Status(const std::string& text) {
    // One line: the protocol separates its fields with line ends.
    std::string line = "STATUS=" + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    (void)sd_notify(0, line.c_str());
}

void SystemdNotifier::Alive() {
    (void)sd_notify(0, "WATCHDOG=1");
}

std::chrono::milliseconds SystemdNotifier::AliveInterval() const {
    std::uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) <= 0) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::microseconds(microseconds / 2));
}

}  // namespace brisolant
