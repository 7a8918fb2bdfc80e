#pragma once

#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/LocaleFormat.h"
#include "scan/ScanRecord.h"
#include "settings/Settings.h"

namespace brisolant {

// "YYYY/MM/DD" and "HH:MM:SS" with the locale's date and time separators.
std::string DateText(const LocalDateTime& when, const LocaleFormat& locale);
std::string TimeText(const LocalDateTime& when, const LocaleFormat& locale);

// The name of the data file that receives a scan made at `now`: "LOG-" + day + BranchID +
// ".txt", the day moving back to yesterday before CloseTime. For a LogFileType outside 0 to 2
// the previous name is returned unchanged.
std::string BuildDataFileName(const LocalDateTime& now, const Settings& settings,
                              const LocaleFormat& locale, const std::string& previousName);

// The ten fixed-width fields joined by FileDelimiter. CR and LF inside a field are written as
// spaces, so a record is always exactly one line; every other byte stays as it came.
std::string BuildRecordLine(const ScanRecord& record, const Settings& settings);

// Replaces CR and LF by spaces: the text can then be part of a record line.
std::string OneLineText(std::string_view text);

}  // namespace brisolant
