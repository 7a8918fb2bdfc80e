#pragma once

#include <string>

namespace brisolant {

// The product name: the about box's caption and the title of its message box.
inline constexpr const char* kAppTitle = "Brisolant";

// The build's version comes from the project's one declaration of it (CMake's project()).
inline constexpr int kVersionMajor = BRISOLANT_VERSION_MAJOR;
inline constexpr int kVersionMinor = BRISOLANT_VERSION_MINOR;
inline constexpr int kVersionRevision = BRISOLANT_VERSION_PATCH;

// "1.0.17".
inline std::string VersionNumber() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

// "Version 1.0.17".
inline std::string VersionText() {
    return "Version " + VersionNumber();
}

}  // namespace brisolant
