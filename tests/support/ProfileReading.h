#pragma once

#include <string>

#include "common/MessagePresenter.h"
#include "settings/ProfileFileLayer.h"

namespace brisolant::test {

// Reads one key of a private-profile file as a profile read of the original platform did: the
// entry's value (trimmed of blanks and tabs, quotes removed, at most 255 characters), or the
// default when the file, section or key is missing. Sections and keys match without regard to
// letter case. Never creates or changes the file. A failure shows "Error: N. description" titled
// "INIGetSettingString" and returns "". The program reads its settings file once for the whole
// load instead (LoadSettings); tests read back what a write left.
std::string INIGetSettingString(const std::string& section, const std::string& key,
                                const std::string& filePath, const std::string& defaultValue,
                                MessagePresenter& messages,
                                ProfileFileLayer& files = PosixProfileFiles());

}  // namespace brisolant::test
