#include "device/ScanOpening.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "station/ScanTexts.h"

namespace brisolant {
namespace {

const std::string kScan = station::SampleScanText();

TEST(ScanOpeningTest, FindsWhereEachOpeningsDashesBegin) {
    struct Row {
        const char* what;
        std::string text;
        std::vector<std::size_t> openings;
    };
    const Row rows[] = {
        {"the station's scan", kScan, {5}},
        {"a scan behind the start of another", kScan.substr(0, 80) + kScan, {5, 85}},
        {"a scan right behind a cut-off line", "     Len" + kScan, {13}},
        {"no spaces before the label", "--\r\nDevice Number: 1", {0}},
        {"a shorter line of dashes", kScan.substr(0, 20) + kScan.substr(31), {5}},
        {"no line of dashes", kScan.substr(33), {}},
        {"a label in other case", "-\r\n     device number: 1", {}},
        {"text between the dashes and their line end", "--- \r\nDevice Number: 1", {}},
        {"a bare line feed", "---\nDevice Number: 1", {}},
        {"the label at the very start", "Device Number: 1", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ScanOpenings(row.text), row.openings) << row.what;
    }
}

TEST(ScanOpeningTest, ATextBeginsWithAnOpeningOnlyAfterSpacesAlone) {
    EXPECT_TRUE(BeginsWithScanOpening(kScan));
    EXPECT_TRUE(BeginsWithScanOpening(kScan.substr(5)));
    EXPECT_FALSE(BeginsWithScanOpening("\xff" + kScan));
    EXPECT_FALSE(BeginsWithScanOpening("\r\n" + kScan));
    EXPECT_FALSE(BeginsWithScanOpening(kScan.substr(33)));
    EXPECT_FALSE(BeginsWithScanOpening(""));
}

TEST(ScanOpeningTest, ScanTextIsPrintableAsciiAndNoiseIsNot) {
    EXPECT_TRUE(HoldsScanText(" "));
    EXPECT_TRUE(HoldsScanText(std::string("\xff\x00~", 3)));
    EXPECT_TRUE(HoldsScanText(kScan));
    EXPECT_FALSE(HoldsScanText(""));
    EXPECT_FALSE(HoldsScanText(std::string("\x00\x7f\x80\xff\r\n\t\x1d", 8)));
}

}  // namespace
}  // namespace brisolant
