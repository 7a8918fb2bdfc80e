#pragma once

#include <cstdint>
#include <limits>

#include "common/Failure.h"

namespace brisolant {

// Scans written since the start or the last reset.
class ScanCounter {
  public:
    explicit ScanCounter(std::int32_t start = 0) : value_(start) {}

    std::int32_t Value() const { return value_; }
    // One more record is on the disk. Throws Failure(CounterOverflow) when the count is full.
    void Count() {
        if (value_ == std::numeric_limits<std::int32_t>::max()) {
            throw Failure(FailureCode::CounterOverflow);
        }
        ++value_;
    }
    void Reset() { value_ = 0; }

  private:
    std::int32_t value_;
};

}  // namespace brisolant
