#include "headless/qt/CompareRecords.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <vector>

#include "common/LocaleFormat.h"
#include "scan/DataFile.h"
#include "settings/Settings.h"
#include "store/RecordComparison.h"
#include "store/pg/PgDatabaseSession.h"

namespace brisolant {

namespace {

LocalDateTime At(const std::string& day, int hour, int minute, int second) {
    return {std::stoi(day.substr(0, 4)),
            std::stoi(day.substr(5, 2)),
            std::stoi(day.substr(8, 2)),
            hour,
            minute,
            second};
}

// The files a day's scans go to: the day's own, and the day before's for the scans before the
// close time.
std::set<std::string> DayFiles(const Settings& settings, const std::string& day) {
    const LocaleFormat& locale = EnglishUnitedStates();
    return {BuildDataFileName(At(day, 0, 0, 0), settings, locale, {}),
            BuildDataFileName(At(day, 23, 59, 59), settings, locale, {})};
}

// The day's lines of the file, without CR LF; false when it exists and cannot be read.
bool ReadDayLines(const std::string& path, const std::string& day,
                  std::vector<std::string>& lines) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return !std::filesystem::exists(path);
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return false;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (LineOfDay(line, day)) {
            lines.push_back(std::move(line));
        }
    }
    return true;
}

}  // namespace

int CompareRecords(const SettingsPlace& place, const std::string& day, MessagePresenter& messages,
                   std::ostream& out, std::ostream& err) {
    Settings settings;
    LoadSettings(settings, place, messages);
    if (settings.DatabaseConnection.empty()) {
        err << "No database is named in " << place.iniFilePath
            << " ([DATABASE] Connection=): there is nothing to compare the data files with.\n";
        return kRecordsUnreadableExitCode;
    }
    std::vector<std::string> fileLines;
    std::string names;
    for (const std::string& name : DayFiles(settings, day)) {
        if (name.empty()) {
            continue;
        }
        if (!ReadDayLines(settings.FilePath + name, day, fileLines)) {
            err << "Cannot read " << settings.FilePath + name << "\n";
            return kRecordsUnreadableExitCode;
        }
        names += (names.empty() ? "" : ", ") + settings.FilePath + name;
    }
    const std::string station = DatabaseStationName(settings);
    std::vector<std::string> tableLines;
    PgDatabaseSession session;
    DatabaseError error = session.Open(settings.DatabaseConnection);
    if (!error) {
        error = session.DayLines(station, day, tableLines);
    }
    if (error) {
        err << "Cannot read the table scan_records: " << *error << "\n";
        return kRecordsUnreadableExitCode;
    }
    const RecordComparison comparison = CompareRecordLines(fileLines, tableLines);
    out << ComparisonReport(comparison, day, names, station);
    return comparison.Agree() ? 0 : kRecordsDisagreeExitCode;
}

}  // namespace brisolant
