#pragma once

#include <cstdint>
#include <string>

namespace brisolant {

// The run-time members of the main window that reception and processing share.
struct MainWindowState {
    std::string ReceiveBuffer;     // everything read since the last complete or rejected block
    std::int16_t RetryCount = 0;   // rejected blocks since the last complete scan
    bool TestMode = false;         // true only while the test scan runs
    std::string DataFileName;      // current data file, without folder
    std::int32_t ScanCounter = 0;  // scans written since start or the last reset
};

}  // namespace brisolant
