#include "scan/CentralFields.h"

#include <charconv>

#include "scan/NumberReader.h"

namespace brisolant {

namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The shortest decimal text that reads back as the same number, with a point.
std::string DecimalText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The unit word of a converted value: the first of `units` it holds.
std::string UnitOf(std::string_view text, std::initializer_list<std::string_view> units) {
    for (const std::string_view unit : units) {
        if (text.find(unit) != std::string_view::npos) {
            return std::string(Trimmed(unit));
        }
    }
    return {};
}

// A number in the locale's form ("12,50"), or nothing where the text is none.
std::string LocaleNumber(std::string_view text, const LocaleFormat& locale) {
    double value = 0;
    if (ReadNumber(Trimmed(text), locale, value) != NumberReading::Read) {
        return {};
    }
    return DecimalText(value);
}

}  // namespace

CentralRecord CentralFields(const ScanRecord& shown, const LocalDateTime& arrived,
                            std::string_view operatorText, std::string line,
                            const LocaleFormat& locale) {
    CentralRecord record;
    record.arrivedAt = TimestampWithOffset(arrived);
    record.device = Trimmed(shown.DeviceNumber.Text());
    // A measurement has its number only where its unit word was read.
    record.lengthUnit = UnitOf(shown.Length.Text(), {"in", "mm", "cm"});
    record.weightUnit = UnitOf(shown.GrossWeight.Text(), {"lb", "kg", " g"});
    if (!record.lengthUnit.empty()) {
        record.length = DecimalText(shown.LengthValue);
        record.width = DecimalText(shown.WidthValue);
        record.height = DecimalText(shown.HeightValue);
    }
    if (!record.weightUnit.empty()) {
        record.grossWeight = DecimalText(shown.WeightValue);
    }
    record.dimWeight = LocaleNumber(shown.DimWeight.Text(), locale);
    record.dimFactor = LocaleNumber(shown.DimFactor.Text(), locale);
    record.barcode = Trimmed(shown.Barcode.Text());
    record.operatorText = Trimmed(operatorText);
    record.line = std::move(line);
    return record;
}

}  // namespace brisolant
