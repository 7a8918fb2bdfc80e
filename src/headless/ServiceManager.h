#pragma once

#include <chrono>
#include <string>

namespace brisolant {

// The service manager that started the program, when one did: it learns when the program is
// ready, what panel 1 says, that the event loop and the writer still turn, and when it stops.
class ServiceManager {
  public:
    virtual ~ServiceManager() = default;
    virtual void Ready() = 0;
    virtual void Stopping() = 0;
    virtual void Status(const std::string& text) = 0;
    virtual void Alive() = 0;
    // How often it wants to hear Alive; zero when it does not.
    virtual std::chrono::milliseconds AliveInterval() const = 0;
};

}  // namespace brisolant
