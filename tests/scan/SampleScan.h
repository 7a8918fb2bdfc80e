#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "common/LocaleFormat.h"
#include "station/ScanTexts.h"

namespace brisolant::test {

// The station's canonical sample: nine lines and the closing empty line, 290 characters.
inline const std::string kSampleScan = station::SampleScanText();

// A metric scan as a station set to centimetres sends it, from device 2.
inline const std::string kMetricScan = station::ScanText(
    {"2", "27.9 cm", "57.9 cm", "34.5 cm", "5.64 kg", "11.15", "5000", "987654321"});

// Decimal comma with the point for grouping (German style).
inline LocaleFormat DecimalCommaGroupingPoint() {
    return {",", ".", ".", ":"};
}

// Decimal comma with the Latin-1 no-break space for grouping (French style).
inline LocaleFormat DecimalCommaGroupingSpace() {
    return {",", "\xA0", "/", ":"};
}

}  // namespace brisolant::test

namespace brisolant {

// A locale as a table row shows it: its decimal and grouping separators.
inline void PrintTo(const LocaleFormat& locale, std::ostream* out) {
    *out << "decimal " << testing::PrintToString(locale.decimal) << " grouping "
         << testing::PrintToString(locale.grouping);
}

}  // namespace brisolant
