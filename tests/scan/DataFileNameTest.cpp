#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "scan/DataFile.h"

namespace brisolant {
namespace {

const LocaleFormat kUs = EnglishUnitedStates();

TEST(DateAndTimeTextTest, TwoDigitsWithLocaleSeparators) {
    const LocalDateTime when{2007, 1, 5, 4, 5, 6};
    EXPECT_EQ(DateText(when, kUs), "2007/01/05");
    EXPECT_EQ(TimeText(when, kUs), "04:05:06");
    const LocaleFormat dotted{",", ".", ".", "."};
    EXPECT_EQ(DateText(when, dotted), "2007.01.05");
    EXPECT_EQ(TimeText(when, dotted), "04.05.06");
}

struct NameCase {
    const char* name;
    LocalDateTime now;
    std::string closeTime;
    int logFileType;
    std::string branch;
    std::string expected;
};

void PrintTo(const NameCase& row, std::ostream* out) {
    *out << row.name << " at " << row.now.year << "-" << row.now.month << "-" << row.now.day << " "
         << row.now.hour << ":" << row.now.minute << ":" << row.now.second << ", close time "
         << row.closeTime << ", type " << row.logFileType << ", branch \"" << row.branch << "\"";
}

class DataFileNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(DataFileNameTest, Composes) {
    const NameCase& row = GetParam();
    Settings settings;
    settings.CloseTime = row.closeTime;
    settings.LogFileType = static_cast<std::int16_t>(row.logFileType);
    settings.BranchID = row.branch;
    EXPECT_EQ(BuildDataFileName(row.now, settings, kUs, "LOG-previous.txt"), row.expected);
}

constexpr LocalDateTime kAug29{2007, 8, 29, 14, 3, 7};

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFileNameTest,
    testing::Values(
        NameCase{"DayNumber", kAug29, "00:00:00", 0, "B12", "LOG-241B12.txt"},
        NameCase{"CompactDate", kAug29, "00:00:00", 1, "B12", "LOG-20070829B12.txt"},
        NameCase{"BranchOnly", kAug29, "00:00:00", 2, "B12", "LOG-B12.txt"},
        NameCase{"EmptyBranch", kAug29, "00:00:00", 0, "", "LOG-241.txt"},
        NameCase{"OtherTypeKeepsPreviousName", kAug29, "00:00:00", 3, "B12", "LOG-previous.txt"},
        NameCase{"NegativeTypeKeepsPreviousName", kAug29, "00:00:00", -1, "", "LOG-previous.txt"},
        NameCase{
            "DayNumberHasThreeDigits", {2007, 1, 7, 12, 0, 0}, "00:00:00", 0, "", "LOG-007.txt"},
        NameCase{"DayNumberFebruary", {2007, 2, 14, 12, 0, 0}, "00:00:00", 0, "", "LOG-045.txt"},
        NameCase{"MidnightWithDefaultCloseTimeIsToday",
                 {2007, 8, 30, 0, 0, 0},
                 "00:00:00",
                 0,
                 "",
                 "LOG-242.txt"},
        NameCase{"BeforeCloseTimeIsYesterday",
                 {2007, 8, 30, 1, 30, 0},
                 "02:00:00",
                 0,
                 "",
                 "LOG-241.txt"},
        NameCase{"BeforeCloseTimeIsYesterdaysDate",
                 {2007, 8, 30, 1, 30, 0},
                 "02:00:00",
                 1,
                 "",
                 "LOG-20070829.txt"},
        NameCase{
            "AtCloseTimeIsToday", {2007, 8, 30, 2, 0, 0}, "02:00:00", 1, "", "LOG-20070830.txt"},
        NameCase{
            "FirstOfJanuaryAfterLeapYear", {2009, 1, 1, 1, 0, 0}, "02:00:00", 0, "", "LOG-366.txt"},
        NameCase{"FirstOfJanuaryAfterCommonYear",
                 {2008, 1, 1, 1, 0, 0},
                 "02:00:00",
                 0,
                 "",
                 "LOG-365.txt"},
        NameCase{"FirstOfJanuaryDateIsNewYearsEve",
                 {2008, 1, 1, 1, 0, 0},
                 "02:00:00",
                 1,
                 "",
                 "LOG-20071231.txt"},
        NameCase{
            "FirstOfMarchInLeapYear", {2008, 3, 1, 1, 0, 0}, "02:00:00", 1, "", "LOG-20080229.txt"},
        NameCase{"LastDayOfLeapYear", {2008, 12, 31, 12, 0, 0}, "00:00:00", 0, "", "LOG-366.txt"},
        // Compared as text, "6:00:00" lies above every two-digit hour.
        NameCase{"CloseTimeWithoutLeadingZeroIsAlwaysYesterday",
                 {2007, 8, 30, 23, 59, 59},
                 "6:00:00",
                 0,
                 "",
                 "LOG-241.txt"},
        NameCase{
            "CloseTimeIsComparedAsText", {2007, 8, 30, 10, 0, 0}, "9:00", 0, "", "LOG-241.txt"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DataFileNameDayTest, CloseTimeAndClockCompareInOneFormWhateverTheTimeSeparator) {
    // With "." as the separator, "02.30.00" sorts above "02:00:00" as plain text.
    struct Row {
        const char* name;
        const char* separator;
        const char* closeTime;
        int hour, minute;
        const char* expected;
    };
    const Row rows[] = {
        {"dotted close time, before it", ".", "02.00.00", 1, 30, "LOG-241.txt"},
        {"dotted close time, after it", ".", "02.00.00", 2, 30, "LOG-242.txt"},
        {"colon close time in a dotted locale", ".", "02:00:00", 2, 30, "LOG-242.txt"},
        {"colon close time, after it", ":", "02:00:00", 2, 30, "LOG-242.txt"},
        {"several-character separator", " h ", "02 h 00 h 00", 2, 30, "LOG-242.txt"},
    };
    for (const Row& row : rows) {
        LocaleFormat locale;
        locale.timeSeparator = row.separator;
        Settings settings;
        settings.CloseTime = row.closeTime;
        const LocalDateTime now{2007, 8, 30, row.hour, row.minute, 0};
        EXPECT_EQ(BuildDataFileName(now, settings, locale, ""), row.expected) << row.name;
    }
}

TEST(DataFileNameDayTest, DoesNotMoveRecordDate) {
    // The file takes yesterday's day, the record keeps the real date.
    const LocalDateTime now{2007, 8, 30, 1, 30, 0};
    Settings settings;
    settings.CloseTime = "02:00:00";
    EXPECT_EQ(BuildDataFileName(now, settings, kUs, ""), "LOG-241.txt");
    EXPECT_EQ(DateText(now, kUs), "2007/08/30");
}

}  // namespace
}  // namespace brisolant
