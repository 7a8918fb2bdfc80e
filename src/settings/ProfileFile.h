#pragma once

#include <string>

#include "common/MessagePresenter.h"
#include "settings/ProfileFileLayer.h"

namespace brisolant {

// Writes one key: updates the entry in place, or adds it at the end of its section, or adds the
// section at the end of the file, creating the file when missing. The new file is written whole
// and then replaces the old one. Returns false when the entry cannot be stored (silently). A
// failure shows "Error: N. description" titled "INIWriteSetting" and returns false.
bool INIWriteSetting(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& filePath, MessagePresenter& messages,
                     ProfileFileLayer& files = PosixProfileFiles());

}  // namespace brisolant
