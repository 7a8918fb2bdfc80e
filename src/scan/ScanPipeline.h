#pragma once

#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/LocaleFormat.h"
#include "scan/ScanRecord.h"
#include "settings/Settings.h"

namespace brisolant {

// What one scan becomes: the record the window shows (parsed and converted, unit words
// included) and the record line of its ten fields (unit words stripped when the settings ask).
struct ScanResult {
    ScanRecord shown;
    std::string recordLine;
};

// Parses, converts and strips the scan text made at `now` and builds its record line. The
// volume is left to the display, which computes it while showing the record. Throws Failure
// from ParseScanText and ConvertMeasurements; once those succeed nothing else fails.
ScanResult ScanToRecordLine(std::string_view text, const LocalDateTime& now,
                            const Settings& settings, const LocaleFormat& locale);

// Extends the record line by FileDelimiter and the operator's answer as the 50-character manual
// entry field.
void AddManualEntry(std::string& recordLine, std::string_view answer, const Settings& settings);

}  // namespace brisolant
