#pragma once

#include <string>

namespace brisolant {

// Receives complete scans from the framing.
class ScanSink {
  public:
    virtual ~ScanSink() = default;
    // Takes the scan text; reports its own failures and returns normally. Returns false when the
    // scan was not recorded, so that its failure stays on screen.
    virtual bool ProcessScan(std::string& text) = 0;
};

}  // namespace brisolant
