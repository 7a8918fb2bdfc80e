#include <gtest/gtest.h>

#include <string>

#include "scan/DataFile.h"
#include "scan/SampleScan.h"
#include "scan/ScanPipeline.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

// The record line the program builds for the scan, without the window and the file.
std::string RecordLineOf(const std::string& scan, const Settings& settings,
                         const LocaleFormat& locale = EnglishUnitedStates()) {
    const test::FakeClock clock;  // 14:03:07 on 29 August 2007
    return ScanToRecordLine(scan, clock.Now(), settings, locale).recordLine;
}

TEST(RecordLineTest, SampleScanWithDefaultSettings) {
    const std::string line = RecordLineOf(test::kSampleScan, Settings{});
    EXPECT_EQ(line,
              "2007/08/29,14:03:07,1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,"
              "26.31       ,110.7       ,1234567890                         ");
    EXPECT_EQ(line.size(), 139u);
}

TEST(RecordLineTest, MetricScanConvertedAndStripped) {
    Settings settings;
    settings.ConvertCMtoMM = true;
    settings.RemoveInCm = true;
    settings.RemoveLbKg = true;
    EXPECT_EQ(RecordLineOf(test::kMetricScan, settings),
              "2007/08/29,14:03:07,2    ,279         ,579         ,345         ,5640        ,"
              "11146.33    ,5000        ,987654321                          ");
}

// The decimal comma adds field boundaries under the default delimiter; the widths still hold.
TEST(RecordLineTest, DecimalCommaLocaleWithStrippedUnits) {
    Settings settings;
    settings.RemoveInCm = true;
    EXPECT_EQ(RecordLineOf(test::kSampleScan, settings, test::DecimalCommaGroupingPoint()),
              "2007.08.29,14:03:07,1    ,11          ,22,8        ,13,6        ,12,44 lb    ,"
              "26,31       ,110,7       ,1234567890                         ");
}

TEST(RecordLineTest, DelimiterIsWrittenAsItStands) {
    Settings settings;
    settings.FileDelimiter = " | ";
    const std::string wide = RecordLineOf(test::kSampleScan, settings);
    EXPECT_EQ(wide.size(), 139u + 9 * 2);
    EXPECT_EQ(wide.substr(0, 24), "2007/08/29 | 14:03:07 | ");
    settings.FileDelimiter = "";
    const std::string joined = RecordLineOf(test::kSampleScan, settings);
    EXPECT_EQ(joined.size(), 130u);
    EXPECT_EQ(joined.substr(0, 23), "2007/08/2914:03:071    ");
}

TEST(RecordLineTest, OnlyLineEndsInFieldsBecomeSpaces) {
    // "Device Number:" right before CR LF pulls the line feed into the field; a GS1 barcode
    // carries group separators (0x1D) that the file's readers parse, so they stay, as do tabs.
    const std::string scan =
        "Device Number:\r\n1234\r\nBarcode: ]C1A\x1d"
        "B\tC\x7f\x01\xe9\rD\r\n";
    Settings settings;
    settings.FileDelimiter = "\t";  // the operator's choice, kept
    const std::string line = RecordLineOf(scan, settings);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(line.find("\t 1234\t"), std::string::npos);
    EXPECT_NE(line.find("\t]C1A\x1d"
                        "B\tC\x7f\x01\xe9 D "),
              std::string::npos);
    EXPECT_EQ(OneLineText(std::string("a\0b\r\n\x1d\t\x7f\x80z", 10)),
              std::string("a\0b  \x1d\t\x7f\x80z", 10));
}

}  // namespace
}  // namespace brisolant
