#pragma once

// Command-line options of the station simulator.

#include <string>
#include <vector>

namespace brisolant::station {

enum class ScanKind { Sample, Metric, Random };

struct StationOptions {
    ScanKind kind = ScanKind::Random;
    bool sampleFirst = false;
    double rate = 1.0;  // scans per second
    bool flood = false;
    long long count = 0;  // 0 = forever
    long long shortEvery = 0;
    long long noiseEvery = 0;
    bool noiseFirst = false;
    bool noStx = false;
    std::string linkPath;
    bool waitOpen = false;
    int waitPid = 0;  // 0 = any process
    double startDelay = 0.0;
    unsigned seed = 1;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Throws std::invalid_argument with a message that names the offending option.
StationOptions ParseStationOptions(const std::vector<std::string>& args);

const char* StationUsage();

}  // namespace brisolant::station
