#pragma once

#include <string>

#include "headless/qt/HeadlessProgram.h"
#include "settings/SettingsPlace.h"

namespace brisolant {

// The exit code of a start the settings do not allow without a window.
inline constexpr int kHeadlessRefusedExitCode = 4;
// The exit code of a start without a window whose settings file is missing or cannot be read.
inline constexpr int kSettingsFileExitCode = 6;

// Runs the recorder without a window until SIGTERM, SIGINT or SIGHUP, which end it with exit
// code 0. Needs no display. With ManualEntryData set it does not start: it says why on the error
// stream and returns kHeadlessRefusedExitCode.
int RunHeadless(int& argc, char** argv, const SettingsPlace& place, const HeadlessSetup& setup);

// Before anything else of a start without a window: a settings file that is missing or cannot be
// read ends the start, since every setting would take its default unseen. Says why in one line
// and returns kSettingsFileExitCode; 0 when the file can be read.
int RefuseUnreadableSettings(const SettingsPlace& place, LogStyle style);

}  // namespace brisolant
