#pragma once

#include <cstdint>
#include <string>

namespace brisolant {

// The receive handler's members; only the handler changes them.
struct ReceiveState {
    std::string ReceiveBuffer;    // everything read since the last complete or rejected block
    std::int16_t RetryCount = 0;  // rejected blocks since the last complete scan
    bool TestMode = false;        // true only while the test scan runs
};

}  // namespace brisolant
