#pragma once

#include <chrono>
#include <string>

#include "headless/ServiceManager.h"

namespace brisolant {

// Tells systemd, when it started the program as a service of Type=notify, how the program
// stands; without systemd every call does nothing.
class SystemdNotifier : public ServiceManager {
  public:
    void Ready() override;
    void Stopping() override;
    void Status(const std::string& text) override;
    void Alive() override;

    // Half the watchdog's time-out; zero when no watchdog waits.
    std::chrono::milliseconds AliveInterval() const override;
};

}  // namespace brisolant
