#include "store/RecordComparison.h"

#include <algorithm>
#include <map>

#include "common/EscapedControls.h"

namespace brisolant {

namespace {

std::string Scans(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " scan" : " scans");
}

}  // namespace

RecordComparison CompareRecordLines(const std::vector<std::string>& fileLines,
                                    const std::vector<std::string>& tableLines) {
    RecordComparison comparison{fileLines.size(), tableLines.size(), {}, {}};
    std::map<std::string, long> balance;
    for (const std::string& line : tableLines) {
        ++balance[line];
    }
    for (const std::string& line : fileLines) {
        if (--balance[line] < 0) {
            comparison.onlyInFiles.push_back(line);
        }
    }
    // A line the table holds more often than the files: its last copies are the extra ones.
    for (auto line = tableLines.rbegin(); line != tableLines.rend(); ++line) {
        if (balance[*line] > 0) {
            --balance[*line];
            comparison.onlyInTable.push_back(*line);
        }
    }
    std::reverse(comparison.onlyInTable.begin(), comparison.onlyInTable.end());
    return comparison;
}

bool LineOfDay(const std::string& line, const std::string& day) {
    return line.size() >= 10 && day.size() == 10 && line.compare(0, 4, day, 0, 4) == 0 &&
           line.compare(5, 2, day, 5, 2) == 0 && line.compare(8, 2, day, 8, 2) == 0;
}

std::string ComparisonReport(const RecordComparison& comparison, const std::string& day,
                             const std::string& files, const std::string& station) {
    std::string report = "Scans of " + day + "\n  in the data files (" + files +
                         "): " + std::to_string(comparison.inFiles) +
                         "\n  in the table scan_records for station " + station + ": " +
                         std::to_string(comparison.inTable) + "\n";
    const auto list = [&report](const char* where, const std::vector<std::string>& lines) {
        if (lines.empty()) {
            return;
        }
        report += Scans(lines.size()) + " only in " + where + ":\n";
        for (const std::string& line : lines) {
            report += "  " + EscapedControls(line) + "\n";
        }
    };
    list("the data files", comparison.onlyInFiles);
    list("the table", comparison.onlyInTable);
    report += comparison.Agree() ? "The data files and the table agree.\n"
                                 : "The data files and the table do not agree.\n";
    return report;
}

}  // namespace brisolant
