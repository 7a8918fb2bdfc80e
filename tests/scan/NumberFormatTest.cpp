#include "scan/NumberFormat.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

#include "common/Failure.h"
#include "scan/SampleScan.h"
#include "support/FailureOf.h"

namespace brisolant {
namespace {

using test::DecimalCommaGroupingPoint;
using test::DecimalCommaGroupingSpace;

const LocaleFormat kUs = EnglishUnitedStates();

struct ReadCase {
    const char* name;
    LocaleFormat locale;
    std::string text;
    double value;
};

void PrintTo(const ReadCase& row, std::ostream* out) {
    *out << row.name << " " << testing::PrintToString(row.text) << " in ";
    PrintTo(row.locale, out);
}

class ToNumberReadsTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ToNumberReadsTest, Value) {
    EXPECT_DOUBLE_EQ(ToNumber(GetParam().text, GetParam().locale), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ToNumberReadsTest,
    testing::Values(
        ReadCase{"Plain", kUs, "11.0", 11}, ReadCase{"Blanks", kUs, "  12.44  ", 12.44},
        ReadCase{"PlusSign", kUs, "+5", 5}, ReadCase{"MinusFraction", kUs, "-0.5", -0.5},
        ReadCase{"Grouping", kUs, "1,234.5", 1234.5},
        ReadCase{"GroupingAnywhereAmongDigits", kUs, "1,2,,3", 123},
        ReadCase{"NoIntegerDigits", kUs, ".5", 0.5}, ReadCase{"NoFractionDigits", kUs, "5.", 5},
        ReadCase{"Exponent", kUs, "1e3", 1000}, ReadCase{"NegativeExponent", kUs, "2.5E-2", 0.025},
        ReadCase{"SignedExponent", kUs, "1.5e+2", 150},
        ReadCase{"PointIsGroupingInGerman", DecimalCommaGroupingPoint(), "3.5", 35},
        ReadCase{"CommaIsDecimalInGerman", DecimalCommaGroupingPoint(), "1.234,5", 1234.5},
        ReadCase{"NoBreakSpaceGrouping", DecimalCommaGroupingSpace(),
                 "1\xA0"
                 "234,5",
                 1234.5},
        ReadCase{"MultiByteGrouping", LocaleFormat{",", "\xC2\xA0", "/", ":"},
                 "1\xC2\xA0"
                 "234,5",
                 1234.5},
        ReadCase{"MultiByteDecimal", LocaleFormat{"\xD9\xAB", ",", "/", ":"},
                 "22\xD9\xAB"
                 "8",
                 22.8}),
    [](const auto& row) { return std::string(row.param.name); });

struct RejectCase {
    const char* name;
    LocaleFormat locale;
    std::string text;
};

void PrintTo(const RejectCase& row, std::ostream* out) {
    *out << row.name << " " << testing::PrintToString(row.text) << " in ";
    PrintTo(row.locale, out);
}

class ToNumberRejectsTest : public testing::TestWithParam<RejectCase> {};

TEST_P(ToNumberRejectsTest, AsNotANumber) {
    EXPECT_EQ(test::FailureCodeOf([&] { ToNumber(GetParam().text, GetParam().locale); }),
              FailureCode::NotANumber);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ToNumberRejectsTest,
    testing::Values(RejectCase{"Empty", kUs, ""}, RejectCase{"AllBlank", kUs, "   "},
                    RejectCase{"Letters", kUs, "abc"}, RejectCase{"UnitWord", kUs, "11.0 in"},
                    RejectCase{"TwoDecimalSeparators", kUs, "1.2.3"},
                    RejectCase{"GroupingBeforeDigits", kUs, ",5"},
                    RejectCase{"GroupingInFraction", kUs, "1.5,5"},
                    RejectCase{"LoneSign", kUs, "+"}, RejectCase{"DoubleSign", kUs, "--1"},
                    RejectCase{"LonePoint", kUs, "."},
                    RejectCase{"ExponentWithoutDigits", kUs, "1e"},
                    RejectCase{"ExponentWithoutMantissa", kUs, "e5"},
                    RejectCase{"BlankInside", kUs, "1 2"}, RejectCase{"Tab", kUs, "\t1"},
                    RejectCase{"Hexadecimal", kUs, "0x10"}, RejectCase{"Infinity", kUs, "inf"},
                    RejectCase{"NotANumber", kUs, "nan"},
                    RejectCase{"Nul", kUs, std::string("1\0", 2)},
                    RejectCase{"PointWhereNeitherSeparator", DecimalCommaGroupingSpace(), "3.5"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ToNumberTest, FailureQuotesTheText) {
    const auto failure = test::FailureOf([] { ToNumber("in 11", kUs); });
    ASSERT_TRUE(failure) << "read";
    EXPECT_EQ(failure->description(), "A measurement is not a number: \"in 11\"");
}

TEST(ToNumberTest, OutOfRangeIsOverflow) {
    for (const char* text : {"1e400", "-1e999", "1e-400"}) {
        EXPECT_EQ(test::FailureCodeOf([&] { ToNumber(text, kUs); }), FailureCode::NumberOverflow)
            << text;
    }
}

TEST(NumberTextTest, FifteenDigitsWithoutTrailingZeros) {
    const struct {
        double value;
        const char* text;
    } rows[] = {{11, "11"},
                {22.8, "22.8"},
                {0.5, "0.5"},
                {22.8 * 10, "228"},
                {-3.25, "-3.25"},
                {22.8 * 11 * 13.6, "3410.88"},
                {0.1 + 0.2, "0.3"},
                {-0.0, "0"},
                {123456789012345.0, "123456789012345"},
                {0, "0"},
                {1.0 / 3, "0.333333333333333"}};
    for (const auto& row : rows) {
        EXPECT_EQ(NumberText(row.value, kUs), row.text) << row.text;
    }
    EXPECT_EQ(NumberText(22.8, DecimalCommaGroupingPoint()), "22,8");
    EXPECT_EQ(NumberText(1234.5, DecimalCommaGroupingPoint()), "1234,5");
}

TEST(FixedTwoTextTest, RoundsHalvesAwayFromZero) {
    const struct {
        double value;
        const char* text;
    } rows[] = {{11146.329, "11146.33"},
                {0, "0.00"},
                {0.125, "0.13"},
                {-0.125, "-0.13"},
                {2.675, "2.68"},  // 2.67499999... in binary
                {1.005, "1.01"},
                {9.999, "10.00"},
                {-0.001, "0.00"},
                {0.005, "0.01"},
                {0.004, "0.00"},
                {1234567.891, "1234567.89"},
                {1e20, "100000000000000000000.00"}};
    for (const auto& row : rows) {
        EXPECT_EQ(FixedTwoText(row.value, kUs), row.text) << row.text;
    }
    EXPECT_EQ(FixedTwoText(26.5, DecimalCommaGroupingPoint()), "26,50");
}

TEST(GroupedTextTest, WholeNumberGroupedByThrees) {
    const struct {
        double value;
        const char* text;
    } rows[] = {{0, "0"},
                {999, "999"},
                {1000, "1,000"},
                {2.5, "3"},
                {999999.5, "1,000,000"},
                {1234567, "1,234,567"},
                {-1234567.5, "-1,234,568"},
                {2147483647, "2,147,483,647"}};
    for (const auto& row : rows) {
        EXPECT_EQ(GroupedText(row.value, kUs), row.text) << row.text;
    }
    EXPECT_EQ(GroupedText(1234567, DecimalCommaGroupingPoint()), "1.234.567");
    EXPECT_EQ(GroupedText(1234, DecimalCommaGroupingSpace()),
              "1\xA0"
              "234");
}

TEST(NumberFormatTest, NonFiniteValuesAreOverflow) {
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (double value : values) {
        using test::FailureCodeOf;
        EXPECT_EQ(FailureCodeOf([&] { NumberText(value, kUs); }), FailureCode::NumberOverflow);
        EXPECT_EQ(FailureCodeOf([&] { FixedTwoText(value, kUs); }), FailureCode::NumberOverflow);
        EXPECT_EQ(FailureCodeOf([&] { GroupedText(value, kUs); }), FailureCode::NumberOverflow);
    }
}

}  // namespace
}  // namespace brisolant
