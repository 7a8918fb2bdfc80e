#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace brisolant {

// A day's scans as the data files hold them beside the database's table: each scan is known by
// its record line, which holds its arrival to the second.
struct RecordComparison {
    std::size_t inFiles = 0;
    std::size_t inTable = 0;
    std::vector<std::string> onlyInFiles;  // in the order the files hold them
    std::vector<std::string> onlyInTable;  // in the table's order

    bool Agree() const { return onlyInFiles.empty() && onlyInTable.empty(); }
};

// Compares the lines as multisets: a scan recorded twice in one place and once in the other is
// found once in the first.
RecordComparison CompareRecordLines(const std::vector<std::string>& fileLines,
                                    const std::vector<std::string>& tableLines);

// Whether the record line was written on the day "YYYY-MM-DD": its date is the line's first ten
// characters, whatever separator the locale gave it.
bool LineOfDay(const std::string& line, const std::string& day);

// What a person reads: the count in each place and every scan found in one and not the other.
std::string ComparisonReport(const RecordComparison& comparison, const std::string& day,
                             const std::string& files, const std::string& station);

}  // namespace brisolant
