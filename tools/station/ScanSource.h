#pragma once

// Chooses the text of each scan the station sends.

#include <string>

#include "ScanTexts.h"
#include "StationOptions.h"

namespace brisolant::station {

class ScanSource {
  public:
    explicit ScanSource(const StationOptions& options);

    // The next scan's text, without the STX.
    std::string NextScanText();
    std::string Noise() { return generator_.Noise(); }
    std::string PowerUpNoise() { return generator_.PowerUpNoise(); }

  private:
    ScanKind kind_;
    bool samplePending_;
    ParcelGenerator generator_;
};

}  // namespace brisolant::station
