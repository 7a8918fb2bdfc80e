#pragma once

#include <optional>
#include <string>

#include "common/Failure.h"

namespace brisolant {

// Receives complete scans from the framing.
class ScanSink {
  public:
    virtual ~ScanSink() = default;
    // Takes the scan text and hands its record on to be written. Returns the failure that kept
    // it from being recorded, for the caller to show and keep on screen.
    virtual std::optional<Failure> ProcessScan(std::string& text) = 0;
};

}  // namespace brisolant
