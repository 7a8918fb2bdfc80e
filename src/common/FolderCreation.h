#pragma once

#include <string>

namespace brisolant {

// Makes the folder and every missing folder above it, each readable by its owner only (the
// user's own configuration and records). Returns 0, or the error of the step that failed; a
// folder that is already there is no error.
int CreateFolderPath(const std::string& folder);

}  // namespace brisolant
