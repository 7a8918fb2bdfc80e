#include "scan/CentralFields.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "scan/SampleScan.h"
#include "scan/ScanPipeline.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using test::DecimalCommaGroupingPoint;
using test::DecimalCommaGroupingSpace;

// The numbers and units of a row of the table; "" where the row holds NULL.
struct TableNumbers {
    std::string length, width, height, lengthUnit;
    std::string grossWeight, weightUnit;
    std::string dimWeight, dimFactor;

    bool operator==(const TableNumbers&) const = default;
};

void PrintTo(const TableNumbers& n, std::ostream* out) {
    *out << n.length << " x " << n.width << " x " << n.height << " " << n.lengthUnit << ", "
         << n.grossWeight << " " << n.weightUnit << ", dim weight " << n.dimWeight << ", factor "
         << n.dimFactor;
}

TableNumbers NumbersOf(const CentralRecord& record) {
    return {record.length,      record.width,      record.height,    record.lengthUnit,
            record.grossWeight, record.weightUnit, record.dimWeight, record.dimFactor};
}

// The record for the table, made as ScanProcessor makes it, from the scan's processed record.
CentralRecord CentralRecordOf(const std::string& scan, const Settings& settings,
                              const LocaleFormat& locale) {
    const test::FakeClock clock;
    ScanResult result = ScanToRecordLine(scan, clock.Now(), settings, locale);
    return CentralFields(result.shown, clock.Now(), "", result.recordLine);
}

Settings Converting(bool convertCmToMm, bool removeUnitWords = false) {
    Settings settings;
    settings.ConvertCMtoMM = convertCmToMm;
    settings.RemoveInCm = removeUnitWords;
    settings.RemoveLbKg = removeUnitWords;
    return settings;
}

std::string ScanOf(const std::string& length, const std::string& width, const std::string& height,
                   const std::string& weight, const std::string& dimWeight = "1.5",
                   const std::string& dimFactor = "166") {
    return station::ScanText({"1", length, width, height, weight, dimWeight, dimFactor, "42"});
}

// The table receives the numbers the conversion read or made, in the units it read or made
// them in, whatever the locale and whether the line keeps its unit words; a number never read
// stays NULL even where the window and the line show it as 0.
TEST(CentralFieldsTest, TableTakesTheNumbersTheConversionRead) {
    const LocaleFormat us = EnglishUnitedStates();
    const TableNumbers sample{"11", "22.8", "13.6", "in", "12.44", "lb", "26.31", "110.7"};
    const TableNumbers metric{"27.9", "57.9", "34.5", "cm", "5.64", "kg", "11.15", "5000"};
    const TableNumbers converted{"279", "579", "345", "mm", "5640", "g", "11146.33", "5000"};
    const TableNumbers unread{"", "", "", "", "", "", "1.5", "166"};
    const struct {
        const char* name;
        std::string scan;
        Settings settings;
        LocaleFormat locale;
        TableNumbers expected;
    } rows[] = {
        {"InchesAndPounds", test::kSampleScan, {}, us, sample},
        {"InchesUnitWordsRemoved", test::kSampleScan, Converting(false, true), us, sample},
        {"InchesNotConverted", test::kSampleScan, Converting(true, true), us, sample},
        {"DecimalCommaGroupingPoint", test::kSampleScan, Converting(false, true),
         DecimalCommaGroupingPoint(), sample},
        {"DecimalCommaGroupingSpace", test::kSampleScan, {}, DecimalCommaGroupingSpace(), sample},
        {"Centimetres", test::kMetricScan, {}, us, metric},
        {"CentimetresUnitWordsRemoved", test::kMetricScan, Converting(false, true), us, metric},
        {"ConvertedToMillimetres", test::kMetricScan, Converting(true), us, converted},
        {"ConvertedUnitWordsRemoved", test::kMetricScan, Converting(true, true), us, converted},
        {"ConvertedDecimalComma",
         ScanOf("27.95 cm", "57.9 cm", "34.5 cm", "5.6444 kg", "11.15", "5000"),
         Converting(true),
         DecimalCommaGroupingPoint(),
         {"279.5", "579", "345", "mm", "5644.4", "g", "11166.3", "5000"}},
        // 30.17 x 10 is 301.70000000000005 in binary; the line says 301.7 and so does the table.
        {"ConvertedWithTheLinesDigits",
         ScanOf("30.17 cm", "20.23 cm", "10.33 cm", "1.003 kg", "6.4", "5000"),
         Converting(true),
         us,
         {"301.7", "202.3", "103.3", "mm", "1003", "g", "1260.96", "5000"}},
        {"NoUnitWords", ScanOf("11.0", "22.8", "13.6", "12.44"), {}, us, unread},
        // The conversion computes the dimensional weight from the zeros the window shows.
        {"NoUnitWordsConverted",
         ScanOf("11.0", "22.8", "13.6", "12.44"),
         Converting(true),
         us,
         {"", "", "", "", "", "", "0", "166"}},
        {"MillimetresAreNotRead", ScanOf("250 mm", "300 mm", "120 mm", "400 g"), {}, us, unread},
        {"UnavailableLength", ScanOf("x N/a in", "2 cm", "3 cm", "4 kg"), Converting(true), us,
         unread},
        {"InchesWithKilograms",
         ScanOf("11 in", "2 in", "3 in", "4 kg"),
         {},
         us,
         {"11", "2", "3", "in", "", "", "1.5", "166"}},
        // Zero inches take the metric pass, which reads the centimetres; the table has one unit.
        {"MixedUnitsKeepTheLengths",
         ScanOf("0 in", "2 cm", "0 in", "4 kg"),
         {},
         us,
         {"0", "", "0", "in", "4", "kg", "1.5", "166"}},
        {"ZeroInchesConvertedAsTheLineIs",
         ScanOf("0 in", "0.0 in", "0 in", "12.44 lb"),
         Converting(true),
         us,
         {"0", "0", "0", "mm", "12440", "g", "0", "166"}},
        {"DimensionalNumbersMissing",
         ScanOf("11 in", "2 in", "3 in", "4 lb", "", "N/A"),
         {},
         us,
         {"11", "2", "3", "in", "4", "lb", "", ""}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(NumbersOf(CentralRecordOf(row.scan, row.settings, row.locale)), row.expected)
            << row.name;
    }
}

}  // namespace
}  // namespace brisolant
