#include "store/RecordComparison.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisolant {
namespace {

using Lines = std::vector<std::string>;

TEST(RecordComparisonTest, ScansInOnePlaceAndNotTheOtherAreFoundEachTime) {
    struct Case {
        const char* name;
        Lines files;
        Lines table;
        Lines onlyInFiles;
        Lines onlyInTable;
    };
    const Case cases[] = {
        {"alike, in another order", {"a", "b", "c"}, {"c", "a", "b"}, {}, {}},
        {"a row the file never got", {"a", "c"}, {"a", "b", "c"}, {}, {"b"}},
        {"a line the table never got", {"a", "b", "c"}, {"a", "c"}, {"b"}, {}},
        {"a scan twice in the file", {"a", "b", "b"}, {"a", "b"}, {"b"}, {}},
        {"a scan twice in the table", {"a"}, {"a", "a"}, {}, {"a"}},
        {"both empty", {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordComparison comparison = CompareRecordLines(c.files, c.table);
        EXPECT_EQ(comparison.inFiles, c.files.size());
        EXPECT_EQ(comparison.inTable, c.table.size());
        EXPECT_EQ(comparison.onlyInFiles, c.onlyInFiles);
        EXPECT_EQ(comparison.onlyInTable, c.onlyInTable);
        EXPECT_EQ(comparison.Agree(), c.onlyInFiles.empty() && c.onlyInTable.empty());
    }
}

TEST(RecordComparisonTest, ADaysLinesAreKnownWhateverTheDateSeparator) {
    EXPECT_TRUE(LineOfDay("2026/12/11,11:42:12,1", "2026-12-11"));
    EXPECT_TRUE(LineOfDay("2026.12.11;11.42.12;1", "2026-12-11"));
    EXPECT_FALSE(LineOfDay("2026/12/10,23:59:59,1", "2026-12-11"));
    EXPECT_FALSE(LineOfDay("2026/12/1", "2026-12-11"));
}

TEST(RecordComparisonTest, TheReportCountsBothPlacesAndShowsEachScanFoundInOneOnly) {
    const std::string report = ComparisonReport(CompareRecordLines({"2026/12/11,a\x1d"
                                                                    "b"},
                                                                   {}),
                                                "2026-12-11", "/data/LOG-345.txt", "north");
    EXPECT_EQ(report,
              "Scans of 2026-12-11\n"
              "  in the data files (/data/LOG-345.txt): 1\n"
              "  in the table scan_records for station north: 0\n"
              "1 scan only in the data files:\n"
              "  2026/12/11,a\\x1db\n"
              "The data files and the table do not agree.\n");
}

}  // namespace
}  // namespace brisolant
