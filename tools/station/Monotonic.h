#pragma once

#include <ctime>

namespace brisolant::station {

// Seconds on the monotonic clock: for intervals only.
inline double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace brisolant::station
