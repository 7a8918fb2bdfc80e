// brisolant-station: plays a parcel dimensioning station on a pseudo-terminal.

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "PortWatcher.h"
#include "PseudoTerminal.h"
#include "Station.h"
#include "StationOptions.h"
#include "StopSignals.h"

using namespace brisolant::station;

namespace {

int RunStation(const StationOptions& options, const StopSignals& signals) {
    PseudoTerminal terminal;
    std::optional<PortLink> link;
    if (!options.linkPath.empty()) {
        link.emplace(options.linkPath, terminal.SlavePath());
    }
    std::cout << terminal.SlavePath() << std::endl;

    if (options.waitOpen) {
        std::fprintf(stderr, "station: waiting for %s to open %s\n",
                     options.waitPid != 0 ? ("process " + std::to_string(options.waitPid)).c_str()
                                          : "a program",
                     terminal.SlavePath().c_str());
        if (!WaitUntilOpened(options.waitPid, terminal.SlavePath(), signals)) {
            if (signals.Stopped()) {
                return 0;
            }
            std::fprintf(stderr, "station: process %d ended without opening the line\n",
                         options.waitPid);
            return 1;
        }
    }
    if (options.startDelay > 0 && !signals.Sleep(options.startDelay)) {
        return 0;
    }
    return Station(terminal.MasterFd(), options, signals).Run();
}

}  // namespace

int main(int argc, char* argv[]) {
    StationOptions options;
    try {
        options = ParseStationOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "brisolant-station: %s\n", error.what());
        return 2;
    }
    if (options.help) {
        std::fputs(StationUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("brisolant-station " BRISOLANT_STATION_VERSION);
        return 0;
    }
    const StopSignals signals;
    try {
        return RunStation(options, signals);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "brisolant-station: %s\n", error.what());
        return 1;
    }
}
