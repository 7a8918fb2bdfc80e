#pragma once

#include <string>

#include "common/MessagePresenter.h"
#include "settings/ProfileFileLayer.h"

namespace brisolant {

// Reads one key of a private-profile file: the entry's value (trimmed of blanks and tabs,
// quotes removed, at most 255 characters), or the default when the file, section or key is
// missing. Sections and keys match without regard to letter case. Never creates or changes the
// file. A failure shows "Error: N. description" titled "INIGetSettingString" and returns "".
std::string INIGetSettingString(const std::string& section, const std::string& key,
                                const std::string& filePath, const std::string& defaultValue,
                                MessagePresenter& messages,
                                ProfileFileLayer& files = PosixProfileFiles());

// Writes one key: updates the entry in place, or adds it at the end of its section, or adds the
// section at the end of the file, creating the file when missing. The new file is written whole
// and then replaces the old one. Returns false when the entry cannot be stored (silently). A
// failure shows "Error: N. description" titled "INIWriteSetting" and returns false.
bool INIWriteSetting(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& filePath, MessagePresenter& messages,
                     ProfileFileLayer& files = PosixProfileFiles());

}  // namespace brisolant
