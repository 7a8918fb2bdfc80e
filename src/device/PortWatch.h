#pragma once

#include <string>

namespace brisolant {

// Tells when the device of a closed port may be back (a change in its folder, or a slow tick).
// It runs only between Start and Stop, so an open port costs nothing; the platform layer calls
// PortKeeper::TryReopen when it fires.
class PortWatch {
  public:
    virtual ~PortWatch() = default;
    // Watches for the device path, a link such as /dev/serial/by-id/... included.
    virtual void Start(const std::string& device) = 0;
    virtual void Stop() = 0;
};

}  // namespace brisolant
