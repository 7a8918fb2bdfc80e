#include "scan/CentralFields.h"

#include <optional>

#include "common/LocaleFormat.h"
#include "scan/NumberFormat.h"

namespace brisolant {

namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The number with the digits the record line gives it (30.17 cm converted is "301.7", not
// the "301.70000000000005" of its binary form), with a point whatever the locale.
std::string DecimalText(double value) {
    return NumberText(value, EnglishUnitedStates());
}

std::string DecimalText(const std::optional<double>& value) {
    return value ? DecimalText(*value) : std::string();
}

// The table has one unit for the three dimensions: the length's, else the first one read.
const std::string& DimensionUnit(const ScanRecord& scan) {
    for (const std::string* unit : {&scan.LengthUnit, &scan.WidthUnit, &scan.HeightUnit}) {
        if (!unit->empty()) {
            return *unit;
        }
    }
    return scan.LengthUnit;
}

// A dimension has its number only where it was read in the table's unit.
std::string DimensionText(double value, const std::string& unit, const std::string& tableUnit) {
    return !unit.empty() && unit == tableUnit ? DecimalText(value) : std::string();
}

}  // namespace

CentralRecord CentralFields(const ScanRecord& scan, const LocalDateTime& arrived,
                            std::string_view operatorText, std::string line) {
    CentralRecord record;
    record.arrivedAt = TimestampWithOffset(arrived);
    record.device = Trimmed(scan.DeviceNumber.Text());
    record.lengthUnit = DimensionUnit(scan);
    record.length = DimensionText(scan.LengthValue, scan.LengthUnit, record.lengthUnit);
    record.width = DimensionText(scan.WidthValue, scan.WidthUnit, record.lengthUnit);
    record.height = DimensionText(scan.HeightValue, scan.HeightUnit, record.lengthUnit);
    record.weightUnit = scan.WeightUnit;
    if (!scan.WeightUnit.empty()) {
        record.grossWeight = DecimalText(scan.WeightValue);
    }
    record.dimWeight = DecimalText(scan.DimWeightValue);
    record.dimFactor = DecimalText(scan.DimFactorValue);
    record.barcode = Trimmed(scan.Barcode.Text());
    record.operatorText = Trimmed(operatorText);
    record.line = std::move(line);
    return record;
}

}  // namespace brisolant
