#pragma once

#include <iosfwd>
#include <string>

#include "common/MessagePresenter.h"
#include "settings/SettingsPlace.h"

namespace brisolant {

// The exit codes of --compare-records besides 0 (the data files and the table agree).
inline constexpr int kRecordsDisagreeExitCode = 1;
inline constexpr int kRecordsUnreadableExitCode = 4;

// brisolant --compare-records: the station's data files for the day "YYYY-MM-DD" against its
// rows in the site's table, told to `out`; what keeps one place from being read goes to `err`.
int CompareRecords(const SettingsPlace& place, const std::string& day, MessagePresenter& messages,
                   std::ostream& out, std::ostream& err);

}  // namespace brisolant
