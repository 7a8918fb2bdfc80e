#pragma once

#include <string>

#include "common/LocaleFormat.h"

namespace brisolant::test {

// The station's canonical sample: nine lines and the closing empty line, 290 characters.
inline const std::string kSampleScan =
    "     --------------------------\r\n"
    "     Device Number:      1\r\n"
    "     Length:             11.0 in\r\n"
    "     Width:              22.8 in\r\n"
    "     Height:             13.6 in\r\n"
    "     Gross Weight:       12.44 lb\r\n"
    "     Dimensional Weight: 26.31\r\n"
    "     Dimensional Factor: 110.7\r\n"
    "     Barcode: 1234567890\r\n"
    "\r\n";

// A metric scan as a station set to centimetres sends it.
inline const std::string kMetricScan =
    "     Device Number:      2\r\n"
    "     Length:             27.9 cm\r\n"
    "     Width:              57.9 cm\r\n"
    "     Height:             34.5 cm\r\n"
    "     Gross Weight:       5.64 kg\r\n"
    "     Dimensional Weight: 11.15\r\n"
    "     Dimensional Factor: 5000\r\n"
    "     Barcode: 987654321\r\n"
    "\r\n";

// Decimal comma with the point for grouping (German style).
inline LocaleFormat DecimalCommaGroupingPoint() {
    return {",", ".", ".", ":"};
}

// Decimal comma with the Latin-1 no-break space for grouping (French style).
inline LocaleFormat DecimalCommaGroupingSpace() {
    return {",", "\xA0", "/", ":"};
}

}  // namespace brisolant::test
