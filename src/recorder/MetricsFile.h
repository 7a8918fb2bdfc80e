#pragma once

#include <string>
#include <string_view>

namespace brisolant {

// Puts `text` in place of the file at `path` at one stroke, so that a reader never sees half of
// it: the text goes to a temporary file in the same folder ("path.tmp", which a textfile
// collector, reading "*.prom" alone, passes over), readable by everyone whatever the umask, and
// is renamed over the file. Throws Failure(MetricsFolderMissing) when the folder is not there and
// Failure(MetricsFileWrite) for any other failure, leaving the old file as it was.
void ReplaceMetricsFile(const std::string& path, std::string_view text);

// Takes the file away, as a station stopped on purpose leaves nothing for the site's monitoring
// to alert on. A file already gone is no failure; any other throws Failure(MetricsFileWrite).
void RemoveMetricsFile(const std::string& path);

// The file is there: at a start, an earlier run on it did not end cleanly.
bool MetricsFileExists(const std::string& path);

}  // namespace brisolant
