#include "scan/Measurements.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/Failure.h"
#include "scan/SampleScan.h"
#include "scan/ScanParser.h"
#include "support/FailureOf.h"

namespace brisolant {
namespace {

using test::DecimalCommaGroupingPoint;
using test::DecimalCommaGroupingSpace;

std::string Padded(const std::string& text, std::size_t width = 12) {
    return text + std::string(width - text.size(), ' ');
}

ScanRecord Parsed(std::string_view text) {
    ScanRecord record;
    ParseScanText(text, record);
    return record;
}

// A scan with the given dimension, weight and factor texts.
std::string ScanWith(const std::string& length, const std::string& width, const std::string& height,
                     const std::string& weight, const std::string& factor = "166") {
    return "Device Number: 1\r\nLength: " + length + "\r\nWidth: " + width +
           "\r\nHeight: " + height + "\r\nGross Weight: " + weight +
           "\r\nDimensional Weight: 1.5\r\nDimensional Factor: " + factor + "\r\n\r\n";
}

std::optional<FailureCode> ConvertFailure(const std::string& scan, const Settings& settings,
                                          const LocaleFormat& locale = EnglishUnitedStates()) {
    ScanRecord record = Parsed(scan);
    return test::FailureCodeOf([&] { ConvertMeasurements(record, settings, locale); });
}

class MeasurementsTest : public testing::Test {
  protected:
    void Convert(const std::string& scan, const LocaleFormat& locale = EnglishUnitedStates()) {
        record = Parsed(scan);
        ConvertMeasurements(record, settings, locale);
    }
    void ExpectValues(double length, double width, double height, double weight) {
        EXPECT_DOUBLE_EQ(record.LengthValue, length);
        EXPECT_DOUBLE_EQ(record.WidthValue, width);
        EXPECT_DOUBLE_EQ(record.HeightValue, height);
        EXPECT_DOUBLE_EQ(record.WeightValue, weight);
    }

    Settings settings;
    ScanRecord record;
};

TEST_F(MeasurementsTest, SampleScanReadsNumbersAndKeepsTexts) {
    settings.ConvertCMtoMM = true;  // an imperial scan is never converted
    Convert(test::kSampleScan);
    ExpectValues(11, 22.8, 13.6, 12.44);
    EXPECT_EQ(record.Length.Text(), Padded("11.0 in"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("12.44 lb"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("26.31"));
    EXPECT_EQ(DimVolume(record, EnglishUnitedStates()), "3410.88");
}

TEST_F(MeasurementsTest, StrippingWritesBareNumbersButNeverDimWeightOrFactor) {
    settings.RemoveInCm = true;
    settings.RemoveLbKg = true;
    Convert(test::kSampleScan);
    StripUnitWords(record, settings, EnglishUnitedStates());
    EXPECT_EQ(record.Length.Text(), Padded("11"));
    EXPECT_EQ(record.Width.Text(), Padded("22.8"));
    EXPECT_EQ(record.Height.Text(), Padded("13.6"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("12.44"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("26.31"));
    EXPECT_EQ(record.DimFactor.Text(), Padded("110.7"));
}

TEST_F(MeasurementsTest, StrippingFollowsEachSettingAlone) {
    settings.RemoveLbKg = true;
    Convert(test::kSampleScan);
    StripUnitWords(record, settings, EnglishUnitedStates());
    EXPECT_EQ(record.Length.Text(), Padded("11.0 in"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("12.44"));
}

// Both decimal-comma locales must read the station's points: the one that groups with a
// point (where "3.5" reads as 35) and the one that groups with a space (where it cannot be
// read at all).
class DecimalCommaLocaleTest : public MeasurementsTest,
                               public testing::WithParamInterface<LocaleFormat> {};

TEST_P(DecimalCommaLocaleTest, PointsBecomeCommasAndNumbersStayTheSame) {
    settings.RemoveInCm = true;
    Convert(test::kSampleScan, GetParam());
    ExpectValues(11, 22.8, 13.6, 12.44);
    EXPECT_EQ(record.Length.Text(), Padded("11,0 in"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("12,44 lb"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("26,31"));
    EXPECT_EQ(record.DimFactor.Text(), Padded("110,7"));
    StripUnitWords(record, settings, GetParam());
    EXPECT_EQ(record.Width.Text(), Padded("22,8"));
}

TEST_P(DecimalCommaLocaleTest, MetricConversionWritesLocaleDecimals) {
    settings.ConvertCMtoMM = true;
    Convert(ScanWith("27.95 cm", "57.9 cm", "34.5 cm", "5.6444 kg", "5000"), GetParam());
    EXPECT_EQ(record.Length.Text(), Padded("279,5 mm"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("5644,4 g"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("11166,30"));
}

INSTANTIATE_TEST_SUITE_P(Locales, DecimalCommaLocaleTest,
                         testing::Values(DecimalCommaGroupingPoint(), DecimalCommaGroupingSpace()),
                         [](const auto& row) {
                             return row.param.grouping == "." ? std::string("GroupingPoint")
                                                              : std::string("GroupingSpace");
                         });

TEST_F(MeasurementsTest, DeviceNumberAndBarcodeKeepTheirPoints) {
    Convert("Device Number: 1.2\r\nLength: 1.5 in\r\nBarcode: 9.8\r\n",
            DecimalCommaGroupingPoint());
    EXPECT_EQ(record.DeviceNumber.Text(), "1.2  ");
    EXPECT_EQ(record.Barcode.Text(), Padded("9.8", 35));
    EXPECT_DOUBLE_EQ(record.LengthValue, 1.5);
}

TEST_F(MeasurementsTest, LocaleThatCannotReadDecimalsFails) {
    EXPECT_EQ(ConvertFailure(test::kSampleScan, settings, LocaleFormat{"", "", "/", ":"}),
              FailureCode::LocaleCannotReadNumbers);
}

TEST_F(MeasurementsTest, MetricScanConvertsToMillimetresAndGrams) {
    settings.ConvertCMtoMM = true;
    Convert(test::kMetricScan);
    ExpectValues(279, 579, 345, 5640);
    EXPECT_EQ(record.Length.Text(), Padded("279 mm"));
    EXPECT_EQ(record.Width.Text(), Padded("579 mm"));
    EXPECT_EQ(record.Height.Text(), Padded("345 mm"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("5640 g"));
    EXPECT_EQ(record.DimFactor.Text(), Padded("5000"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("11146.33"));
}

TEST_F(MeasurementsTest, MetricScanWithoutConversionKeepsStationTexts) {
    Convert(test::kMetricScan);
    ExpectValues(27.9, 57.9, 34.5, 5.64);
    EXPECT_EQ(record.Length.Text(), Padded("27.9 cm"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("11.15"));
}

// Zero inch dimensions select the metric pass, which then converts the pound weight too.
TEST_F(MeasurementsTest, ZeroInchDimensionsTakeTheMetricPass) {
    settings.ConvertCMtoMM = true;
    Convert(ScanWith("0 in", "0.0 in", "0 in", "12.44 lb"));
    ExpectValues(0, 0, 0, 12440);
    EXPECT_EQ(record.Height.Text(), Padded("0 mm"));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("12440 g"));
    EXPECT_EQ(record.DimWeight.Text(), Padded("0.00"));
}

TEST_F(MeasurementsTest, UnavailableLengthInAnyCaseReadsNothing) {
    settings.RemoveInCm = true;
    settings.RemoveLbKg = true;
    settings.ConvertCMtoMM = true;
    for (const char* length : {"N/A", "n/a", "x N/a in"}) {
        Convert(ScanWith(length, "2 cm", "3 cm", "4 kg"));
        ExpectValues(0, 0, 0, 0);
        EXPECT_EQ(record.DimWeight.Text(), Padded("1.5")) << length;
        EXPECT_EQ(DimVolume(record, EnglishUnitedStates()), "0");
        StripUnitWords(record, settings, EnglishUnitedStates());
        EXPECT_EQ(record.Length.Text(), Padded("0"));
        EXPECT_EQ(record.GrossWeight.Text(), Padded("0"));
    }
}

TEST_F(MeasurementsTest, UnitWordsInCapitalsAreNotRecognised) {
    settings.RemoveInCm = true;
    Convert(ScanWith("11.0 IN", "2 CM", "3 In", "4 LB"));
    ExpectValues(0, 0, 0, 0);
    StripUnitWords(record, settings, EnglishUnitedStates());
    EXPECT_EQ(record.Length.Text(), Padded("0"));
}

TEST(MeasurementsFailureTest, EndsTheConversion) {
    Settings converting;
    converting.ConvertCMtoMM = true;
    const struct {
        const char* name;
        std::string scan;
        Settings settings;
        FailureCode code;
    } rows[] = {
        {"UnitWordFirst", ScanWith("in 11", "2 in", "3 in", "4 lb"), {}, FailureCode::NotANumber},
        {"LettersBeforeUnit",
         ScanWith("ab in", "2 in", "3 in", "4 lb"),
         {},
         FailureCode::NotANumber},
        {"NoFactor", ScanWith("1 cm", "2 cm", "3 cm", "4 kg", ""), converting,
         FailureCode::NotANumber},
        {"FactorNotANumber", ScanWith("1 cm", "2 cm", "3 cm", "4 kg", "N/A"), converting,
         FailureCode::NotANumber},
        {"FactorZero", ScanWith("1 cm", "2 cm", "3 cm", "4 kg", "0"), converting,
         FailureCode::DivisionByZero},
        {"ProductOverflow", ScanWith("1e200 cm", "1e200 cm", "1 cm", "4 kg"), converting,
         FailureCode::NumberOverflow},
        {"TimesTenOverflow", ScanWith("1e308 cm", "1 cm", "1 cm", "4 kg"), converting,
         FailureCode::NumberOverflow},
        {"QuotientOverflow", ScanWith("1e100 cm", "1e100 cm", "1e100 cm", "4 kg", "1e-100"),
         converting, FailureCode::NumberOverflow},
        {"NumberOutOfRange",
         ScanWith("1e999 in", "2 in", "3 in", "4 lb"),
         {},
         FailureCode::NumberOverflow},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ConvertFailure(row.scan, row.settings), row.code) << row.name;
    }
}

TEST(DimVolumeTest, OverflowIsAFailureNotInfinity) {
    ScanRecord record;
    record.WidthValue = record.LengthValue = record.HeightValue = 1e200;
    EXPECT_EQ(test::FailureCodeOf([&] { DimVolume(record, EnglishUnitedStates()); }),
              FailureCode::NumberOverflow);
}

}  // namespace
}  // namespace brisolant
