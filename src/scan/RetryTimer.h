#pragma once

namespace brisolant {

// A repeating timer that asks for another try at writing the waiting scans. It runs only while
// something waits.
class RetryTimer {
  public:
    virtual ~RetryTimer() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

}  // namespace brisolant
