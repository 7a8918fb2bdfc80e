#pragma once

#include <string>

#include "common/LocaleFormat.h"
#include "scan/ScanRecord.h"
#include "settings/Settings.h"

namespace brisolant {

// Adapts the station's decimal point to the locale, reads the four numbers from their unit
// words, and converts metric scans to millimetres and grams when the settings ask for it.
// Throws Failure (NotANumber, LocaleCannotReadNumbers, DivisionByZero, NumberOverflow).
void ConvertMeasurements(ScanRecord& record, const Settings& settings, const LocaleFormat& locale);

// The volume shown beside "Dim Volume": width x length x height, as NumberText.
std::string DimVolume(const ScanRecord& record, const LocaleFormat& locale);

// Replaces the dimension and weight texts by their bare numbers when the settings ask for it.
void StripUnitWords(ScanRecord& record, const Settings& settings, const LocaleFormat& locale);

}  // namespace brisolant
