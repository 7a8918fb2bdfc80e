#pragma once

#include <cstdint>
#include <string>

namespace brisolant {

// What the receive handler holds between two port events; the handler owns it, others read it.
struct ReceiveState {
    std::string ReceiveBuffer;    // everything read since the last complete or rejected block
    std::int16_t RetryCount = 0;  // rejected blocks since the last complete scan
    bool TestMode = false;        // true only while the test scan runs
};

}  // namespace brisolant
