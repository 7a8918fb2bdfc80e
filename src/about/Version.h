#pragma once

#include <string>

namespace brisolant {

// The product name: the about box's caption and the title of its message box.
inline constexpr const char* kAppTitle = "Brisolant";

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 17;

// "Version 1.0.17".
inline std::string VersionText() {
    return "Version " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

}  // namespace brisolant
