#pragma once

#include <string>

#include "settings/SettingsPlace.h"

namespace brisolant {

// The exit code of a start the settings do not allow without a window.
inline constexpr int kHeadlessRefusedExitCode = 4;

// Runs the recorder without a window until SIGTERM, SIGINT or SIGHUP, which end it with exit
// code 0. Needs no display. The journal of waiting scans is journalPath. With ManualEntryData
// set it does not start: it says why on the error stream and returns kHeadlessRefusedExitCode.
int RunHeadless(int& argc, char** argv, const SettingsPlace& place, const std::string& journalPath);

}  // namespace brisolant
