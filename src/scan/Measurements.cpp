#include "scan/Measurements.h"

#include <cmath>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "scan/NumberFormat.h"
#include "scan/NumberReader.h"

namespace brisolant {

namespace {

// The fields whose decimal point follows the locale; DeviceNumber and Barcode keep theirs.
constexpr FixedText ScanRecord::*kDecimalFields[] = {
    &ScanRecord::Length,      &ScanRecord::Width,     &ScanRecord::Height,
    &ScanRecord::GrossWeight, &ScanRecord::DimWeight, &ScanRecord::DimFactor,
};

struct Measure {
    FixedText ScanRecord::*text;
    double ScanRecord::*value;
    std::string ScanRecord::*unit;
};

constexpr Measure kDimensions[] = {
    {&ScanRecord::Length, &ScanRecord::LengthValue, &ScanRecord::LengthUnit},
    {&ScanRecord::Width, &ScanRecord::WidthValue, &ScanRecord::WidthUnit},
    {&ScanRecord::Height, &ScanRecord::HeightValue, &ScanRecord::HeightUnit},
};
constexpr Measure kWeight = {&ScanRecord::GrossWeight, &ScanRecord::WeightValue,
                             &ScanRecord::WeightUnit};

double Finite(double value) {
    if (!std::isfinite(value)) {
        throw Failure(FailureCode::NumberOverflow);
    }
    return value;
}

// What replaces the station's "." so that the locale reads its numbers, or "" when nothing
// needs replacing. A locale that takes "3.5" for 35 uses the point for grouping; one that cannot
// read it at all has neither point separator. Either way its own decimal separator serves.
std::string PointReplacement(const LocaleFormat& locale) {
    double value = 0;
    if (ReadNumber("3.5", locale, value) == NumberReading::Read && value == 3.5) {
        return {};
    }
    const std::string& replacement = locale.decimal;
    if (ReadNumber("3" + replacement + "5", locale, value) != NumberReading::Read || value != 3.5) {
        throw Failure(FailureCode::LocaleCannotReadNumbers,
                      "decimal \"" + locale.decimal + "\", grouping \"" + locale.grouping + "\"");
    }
    return replacement;
}

void AdaptDecimalPoint(ScanRecord& record, const LocaleFormat& locale) {
    const std::string replacement = PointReplacement(locale);
    if (replacement.empty()) {
        return;
    }
    for (FixedText ScanRecord::*field : kDecimalFields) {
        const std::string& old = (record.*field).Text();
        if (old.find('.') == std::string::npos) {
            continue;
        }
        std::string adapted;
        for (char c : old) {
            if (c == '.') {
                adapted += replacement;
            } else {
                adapted += c;
            }
        }
        (record.*field).Set(adapted);
    }
}

bool HoldsUnavailableMarker(std::string_view text) {
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        if ((text[i] == 'N' || text[i] == 'n') && text[i + 1] == '/' &&
            (text[i + 2] == 'A' || text[i + 2] == 'a')) {
            return true;
        }
    }
    return false;
}

// Reads the number in front of the first occurrence of `unit`, which becomes its unit; without
// the unit the number keeps its value and its unit.
void ReadBeforeUnit(ScanRecord& record, const Measure& measure, std::string_view unit,
                    const LocaleFormat& locale) {
    const std::string& text = (record.*measure.text).Text();
    const std::size_t unitIndex = text.find(unit);
    if (unitIndex != std::string::npos) {
        record.*measure.value = ToNumber(std::string_view(text).substr(0, unitIndex), locale);
        record.*measure.unit = unit;
    }
}

std::optional<double> StatedNumber(const FixedText& text, const LocaleFormat& locale) {
    double value = 0;
    if (ReadNumber(text.Text(), locale, value) != NumberReading::Read) {
        return std::nullopt;
    }
    return value;
}

// Only a number that was read has a unit to convert; one never read stays without.
void ConvertUnit(ScanRecord& record, const Measure& measure, const char* unit) {
    if (!(record.*measure.unit).empty()) {
        record.*measure.unit = unit;
    }
}

void ConvertToMillimetresAndGrams(ScanRecord& record, const LocaleFormat& locale) {
    for (const Measure& dimension : kDimensions) {
        record.*dimension.value = Finite(record.*dimension.value * 10);
    }
    record.WeightValue = Finite(record.WeightValue * 1000);
    for (const Measure& dimension : kDimensions) {
        (record.*dimension.text).Set(NumberText(record.*dimension.value, locale) + " mm");
        ConvertUnit(record, dimension, "mm");
    }
    record.GrossWeight.Set(NumberText(record.WeightValue, locale) + " g");
    ConvertUnit(record, kWeight, "g");

    const double volume = Finite(record.WidthValue * record.LengthValue * record.HeightValue);
    const double factor = ToNumber(record.DimFactor.Text(), locale);
    if (factor == 0) {
        throw Failure(FailureCode::DivisionByZero, "dimensional factor 0");
    }
    const double dimWeight = Finite(volume / factor);
    record.DimWeight.Set(FixedTwoText(dimWeight, locale));
    record.DimWeightValue = RoundedToTwoPlaces(dimWeight);
}

}  // namespace

void ConvertMeasurements(ScanRecord& record, const Settings& settings, const LocaleFormat& locale) {
    AdaptDecimalPoint(record, locale);
    record.DimWeightValue = StatedNumber(record.DimWeight, locale);
    record.DimFactorValue = StatedNumber(record.DimFactor, locale);
    if (HoldsUnavailableMarker(record.Length.Text())) {
        return;
    }
    for (const Measure& dimension : kDimensions) {
        ReadBeforeUnit(record, dimension, "in", locale);
    }
    ReadBeforeUnit(record, kWeight, "lb", locale);
    if (record.WidthValue + record.LengthValue + record.HeightValue != 0) {
        return;
    }
    for (const Measure& dimension : kDimensions) {
        ReadBeforeUnit(record, dimension, "cm", locale);
    }
    ReadBeforeUnit(record, kWeight, "kg", locale);
    if (settings.ConvertCMtoMM) {
        ConvertToMillimetresAndGrams(record, locale);
    }
}

std::string DimVolume(const ScanRecord& record, const LocaleFormat& locale) {
    return NumberText(record.WidthValue * record.LengthValue * record.HeightValue, locale);
}

void StripUnitWords(ScanRecord& record, const Settings& settings, const LocaleFormat& locale) {
    if (settings.RemoveInCm) {
        for (const Measure& dimension : kDimensions) {
            (record.*dimension.text).Set(NumberText(record.*dimension.value, locale));
        }
    }
    if (settings.RemoveLbKg) {
        record.GrossWeight.Set(NumberText(record.WeightValue, locale));
    }
}

}  // namespace brisolant
