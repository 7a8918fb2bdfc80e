#pragma once

#include <optional>
#include <string>

#include "common/Failure.h"
#include "settings/ProfileFileLayer.h"

namespace brisolant {

// Why the settings file cannot serve a start without a window, where nobody would read a message
// that every setting took its default: it is not there (SettingsFileMissing), or it cannot be
// read, a folder or a file of another account standing in its place (ProfileReadFailed, with the
// system's reason). Nothing when it can be read. Creates and changes nothing.
std::optional<Failure> SettingsFileProblem(const std::string& path,
                                           ProfileFileLayer& files = PosixProfileFiles());

}  // namespace brisolant
