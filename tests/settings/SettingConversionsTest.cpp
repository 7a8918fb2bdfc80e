#include <gtest/gtest.h>

#include <optional>

#include "common/Failure.h"
#include "settings/SettingConversions.h"
#include "support/FailureOf.h"

namespace brisolant {
namespace {

using test::FailureCodeOf;

TEST(SettingConversionsTest, BooleanTakesNumbersAndTheWordsTrueAndFalse) {
    const struct {
        const char* text;
        bool expected;
    } cases[] = {
        {"0", false},     {"1", true},      {"-1", true},     {"True", true}, {"tRUE", true},
        {"False", false}, {"FALSE", false}, {" 1 ", true},    {"0.0", false}, {"2.5", true},
        {"+0", false},    {"1e400", true},  {"1e-400", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingBoolean(c.text), c.expected) << c.text;
    }
}

TEST(SettingConversionsTest, BooleanRejectsAnyOtherText) {
    for (const char* text :
         {"", " ", "yes", "on", "Truee", "1x", "inf", "nan", "0x1", "+-1", "."}) {
        EXPECT_EQ(FailureCodeOf([&] { SettingBoolean(text); }), FailureCode::SettingTypeMismatch)
            << '"' << text << '"';
    }
}

TEST(SettingConversionsTest, IntegerRoundsHalvesToEven) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"0", 0},         {"1", 1},           {"3", 3},           {"-1", -1},
        {"+7", 7},        {"2.5", 2},         {"3.5", 4},         {"-2.5", -2},
        {"0.5", 0},       {"1.5", 2},         {"2.6", 3},         {"1e3", 1000},
        {"32767", 32767}, {"-32768", -32768}, {"32767.4", 32767}, {"-32768.5", -32768},
        {"1e-400", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingInteger(c.text), c.expected) << c.text;
    }
}

TEST(SettingConversionsTest, IntegerOutsideSixteenBitsOverflows) {
    for (const char* text : {"32768", "40000", "-32769", "32767.5", "1e400", "-1e400"}) {
        EXPECT_EQ(FailureCodeOf([&] { SettingInteger(text); }), FailureCode::SettingOverflow)
            << text;
    }
}

TEST(SettingConversionsTest, IntegerRejectsTextThatIsNoNumber) {
    for (const char* text : {"", "True", "abc", "1,5", "nan", "inf", "--1", ".", "1 2"}) {
        EXPECT_EQ(FailureCodeOf([&] { SettingInteger(text); }), FailureCode::SettingTypeMismatch)
            << '"' << text << '"';
    }
}

}  // namespace
}  // namespace brisolant
