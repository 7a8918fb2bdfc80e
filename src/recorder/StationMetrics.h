#pragma once

#include <cstdint>
#include <string>

#include "recorder/RecorderFigures.h"

namespace brisolant {

// One look at a station for the site's monitoring: the recorder's figures and what the program
// knows around them. Times are seconds since the Unix epoch.
struct StationSample {
    std::string station;  // the station's name, as its records in the site's database carry it
    std::string version;  // the program's
    RecorderFigures figures;
    std::int64_t startTime = 0;
    std::int64_t lastRecordTime = 0;  // 0 until the first record of this run
    std::int64_t writtenTime = 0;     // when this look was taken and written
    // The run before this one ended cleanly (or there was none): it took its file away. A file
    // left behind is a crash, a kill or a power cut, which the site's monitoring counts.
    bool previousRunClean = true;
};

// The sample in Prometheus's text format (0.0.4), as node_exporter's textfile collector reads
// it: every family with its # HELP and # TYPE lines, each series labelled with the station.
std::string MetricsText(const StationSample& sample);

}  // namespace brisolant
