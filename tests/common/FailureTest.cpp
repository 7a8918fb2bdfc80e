#include "common/Failure.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace brisolant {
namespace {

TEST(FailureTest, StatusTextIsNumberBlankDescription) {
    Failure failure(FailureCode::DataFileOpen, "/data/LOG-241.txt: Permission denied");
    EXPECT_EQ(StatusText(failure),
              "Status: 121 Cannot open the data file: /data/LOG-241.txt: Permission denied");
    EXPECT_EQ(failure.detail(), "/data/LOG-241.txt: Permission denied");
}

// The operator tells failures apart by number and by text: neither may be used twice, and every
// row says how the journal files it and where it comes from.
TEST(FailureTest, EveryRowHasANumberAndATextOfItsOwn) {
    std::set<int> numbers;
    std::set<std::string_view> descriptions;
    for (const FailureCode code : AllFailureCodes()) {
        const int number = static_cast<int>(code);
        SCOPED_TRACE(number);
        EXPECT_TRUE(numbers.insert(number).second);
        EXPECT_TRUE(descriptions.insert(FailureDescription(code)).second);
        EXPECT_GE(number, 100);
        EXPECT_LE(number, 999);
        EXPECT_FALSE(FailureDescription(code).empty());
        EXPECT_EQ(FailureDescription(code).find('|'), std::string_view::npos);
        const LogPriority priority = FailurePriority(code);
        EXPECT_TRUE(priority == LogPriority::Error || priority == LogPriority::Warning ||
                    priority == LogPriority::Info);
        EXPECT_EQ(Failure(code).number(), number);
    }
    EXPECT_GE(numbers.size(), 53u);
}

// A number that is in no row (a cast from elsewhere) still reads as a failure.
TEST(FailureTest, ANumberOutsideTheTableIsAnUnknownFailure) {
    const auto stray = static_cast<FailureCode>(999);
    EXPECT_EQ(FailureDescription(stray), "Unknown failure");
    EXPECT_EQ(FailurePriority(stray), LogPriority::Error);
}

// The password in the database's connection and a setting of the wrong kind used to share 311.
TEST(FailureTest, APasswordInTheConnectionHasANumberOfItsOwn) {
    EXPECT_NE(static_cast<int>(FailureCode::SettingPasswordIgnored),
              static_cast<int>(FailureCode::SettingTypeMismatch));
}

std::string PriorityName(LogPriority priority) {
    switch (priority) {
        case LogPriority::Error:
            return "error";
        case LogPriority::Warning:
            return "warning";
        case LogPriority::Info:
            break;
    }
    return "info";
}

// The README's table, as the failure table gives it.
std::string StatusNumbersTable() {
    std::string table =
        "| Number | What it says | Journal priority | Raised in |\n|---|---|---|---|\n";
    for (const FailureCode code : AllFailureCodes()) {
        table += "| " + std::to_string(static_cast<int>(code)) + " | " +
                 std::string(FailureDescription(code)) + " | " +
                 PriorityName(FailurePriority(code)) + " | " +
                 std::string(FailurePartName(FailurePartOf(code))) + " |\n";
    }
    return table;
}

// The lines of the README's table, from its header row up to the first line that is not a row.
std::string ReadmeTable(const std::string& headerRow) {
    std::ifstream readme(BRISOLANT_README);
    std::string line;
    std::string table;
    bool inTable = false;
    while (std::getline(readme, line)) {
        inTable = inTable ? line.starts_with('|') : line == headerRow;
        if (!inTable) {
            if (!table.empty()) {
                break;
            }
            continue;
        }
        table += line + '\n';
    }
    return table;
}

// An operator looks a number up in the README: every row there, none missing, none stale. On a
// difference the expected table is printed whole, ready to be pasted over the README's.
TEST(FailureTest, TheReadmesStatusNumbersAreTheTablesRows) {
    const std::string expected = StatusNumbersTable();
    const std::string header = expected.substr(0, expected.find('\n'));
    EXPECT_EQ(ReadmeTable(header), expected);
}

}  // namespace
}  // namespace brisolant
