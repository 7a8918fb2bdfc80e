#include "scan/ScanParser.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "common/Failure.h"
#include "scan/SampleScan.h"
#include "support/FailureOf.h"

namespace brisolant {
namespace {

using test::kSampleScan;

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

ScanRecord Parse(std::string_view text) {
    ScanRecord record;
    ParseScanText(text, record);
    return record;
}

std::optional<FailureCode> ParseFailure(std::string_view text) {
    return test::FailureCodeOf([&] { Parse(text); });
}

TEST(ScanParserTest, SampleScanFillsEveryLabelledFieldPadded) {
    const ScanRecord record = Parse(kSampleScan);
    EXPECT_EQ(record.DeviceNumber.Text(), "1    ");
    EXPECT_EQ(record.Length.Text(), Padded("11.0 in", 12));
    EXPECT_EQ(record.Width.Text(), Padded("22.8 in", 12));
    EXPECT_EQ(record.Height.Text(), Padded("13.6 in", 12));
    EXPECT_EQ(record.GrossWeight.Text(), Padded("12.44 lb", 12));
    EXPECT_EQ(record.DimWeight.Text(), Padded("26.31", 12));
    EXPECT_EQ(record.DimFactor.Text(), Padded("110.7", 12));
    EXPECT_EQ(record.Barcode.Text(), Padded("1234567890", 35));
    EXPECT_EQ(record.ManualEntry.Text(), std::string(50, ' '));
    EXPECT_EQ(record.RecordDate.Text(), std::string(10, ' '));
}

TEST(ScanParserTest, MissingLabelLeavesOnlyItsFieldBlank) {
    std::string text = kSampleScan;
    text.erase(text.find("     Barcode:"), std::string("     Barcode: 1234567890\r\n").size());
    const ScanRecord record = Parse(text);
    EXPECT_EQ(record.Barcode.Text(), std::string(35, ' '));
    EXPECT_EQ(record.Length.Text(), Padded("11.0 in", 12));
    EXPECT_EQ(record.DimFactor.Text(), Padded("110.7", 12));
}

struct FieldCase {
    const char* name;
    std::string text;
    FixedText ScanRecord::*field;
    std::string expected;  // unpadded
};

void PrintTo(const FieldCase& row, std::ostream* out) {
    *out << row.name << " " << testing::PrintToString(row.text);
}

class ScanParserFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(ScanParserFieldTest, CutsTheValue) {
    const FieldCase& row = GetParam();
    const ScanRecord record = Parse(row.text);
    const FixedText& field = record.*row.field;
    EXPECT_EQ(field.Text(), Padded(row.expected, field.Width()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanParserFieldTest,
    testing::Values(
        // Letter case counts in labels.
        FieldCase{"LabelInCapitalsIsNotFound", "LENGTH:   11.0 in\r\n", &ScanRecord::Length, ""},
        FieldCase{"LabelFollowedAtOnceByLineEndIsBlank", "Length:\r\nWidth: 2 in\r\n",
                  &ScanRecord::Length, ""},
        // The character after "Device Number:" is skipped, so an empty value starts on the LF.
        FieldCase{"DeviceNumberWithoutValueTakesLineFeedAndNextLine",
                  "Device Number:\r\n12345678\r\n", &ScanRecord::DeviceNumber, "\n1234"},
        FieldCase{"DeviceNumberRightAfterColonLosesFirstCharacter", "Device Number:42\r\n",
                  &ScanRecord::DeviceNumber, "2"},
        FieldCase{"LongValueIsCutToWidth", "Barcode: 1234567890123456789012345678901234567890\r\n",
                  &ScanRecord::Barcode, "12345678901234567890123456789012345"},
        FieldCase{"OnlySpacesAreTrimmed", "Length: \t11 in\t \r\n", &ScanRecord::Length,
                  "\t11 in\t"},
        // A lone LF is not a line end: the value runs on to the next CR LF.
        FieldCase{"LoneLineFeedIsPartOfValue", "Height: 1\n2 in\r\n", &ScanRecord::Height,
                  "1\n2 in"},
        FieldCase{"EarlierOccurrenceInsideAnotherValueWins",
                  "Barcode: Width: 9 in\r\nWidth: 2 in\r\n", &ScanRecord::Width, "9 in"},
        FieldCase{"LabelsInAnyOrder", "Barcode: X\r\nDevice Number: 7\r\n",
                  &ScanRecord::DeviceNumber, "7"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ScanParserTest, NoLineEndAfterValueFailsNamingTheLabel) {
    const auto failure = test::FailureOf([] { Parse("Length: 11 in\r\nBarcode: 123"); });
    ASSERT_TRUE(failure) << "no failure";
    EXPECT_EQ(failure->code(), FailureCode::ScanLineEndMissing);
    EXPECT_NE(failure->description().find("\"Barcode:\""), std::string::npos);
    // The value start lies past the end of the text.
    EXPECT_EQ(ParseFailure("Device Number:"), FailureCode::ScanLineEndMissing);
    EXPECT_EQ(ParseFailure("Device Number:\r"), FailureCode::ScanLineEndMissing);
}

TEST(ScanParserTest, PositionsBeyond32767Fail) {
    // The label at position 32761 and its value start beyond the limit; then the label itself.
    EXPECT_EQ(ParseFailure(std::string(32760, '-') + "Device Number: 1\r\n"),
              FailureCode::ScanTooLong);
    EXPECT_EQ(ParseFailure(std::string(32767, '-') + "Length: 1 in\r\n"), FailureCode::ScanTooLong);
    // The CR of the line end at 32768 and at 32767.
    EXPECT_EQ(ParseFailure("Length:" + std::string(32760, '1') + "\r\n"), FailureCode::ScanTooLong);
    EXPECT_EQ(Parse("Length:" + std::string(32759, '1') + "\r\n").Length.Text(),
              std::string(12, '1'));
}

// Whatever bytes the line carries, the parser either fills fields or reports a failure.
TEST(ScanParserTest, ArbitraryBytesNeverBreakIt) {
    const std::string pieces[] = {
        "Device Number:",    "Length:", "Barcode:", "\r\n", "\r", "\n", " ", "in",
        std::string(1, '\0')};
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            if (random() % 2 == 0) {
                text += pieces[random() % std::size(pieces)];
            } else {
                text += static_cast<char>(random() % 256);
            }
        }
        ScanRecord record;
        try {
            ParseScanText(text, record);
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), FailureCode::ScanLineEndMissing);
        }
        EXPECT_EQ(record.Barcode.Text().size(), 35u);
    }
}

}  // namespace
}  // namespace brisolant
