#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/Failure.h"
#include "settings/ProfileFileLayer.h"

namespace brisolant {

// The whole content of a profile file, or nothing when it does not exist. A file that exists but
// cannot be read (no permission, a folder or device in its place, far too large) throws
// Failure(code) naming the path and the system's reason. Never creates or changes anything.
std::optional<std::string> ReadProfileFile(const std::string& path, FailureCode code,
                                           ProfileFileLayer& files = PosixProfileFiles());

// The file a write should replace: the target of a symbolic link, so the link survives.
std::string ProfileWriteTarget(const std::string& path);

// Whether an existing file may be replaced. A file with no write permission at all counts as
// read-only even for the superuser, as the read-only attribute does on other systems.
bool IsProfileFileWritable(const std::string& path);

// Replaces the file's content as one step: the new content goes to a temporary file in the same
// folder, which is then renamed over the old one, so a failure midway leaves the old file whole.
// An existing file keeps its permissions. When no temporary file can be made or renamed there (a
// writable file in a protected folder), an existing file is rewritten in place instead. Returns
// false, changing nothing, when neither can be done; throws Failure(ProfileWriteFailed) for any
// other failure (a full disk, say).
bool ReplaceProfileFile(const std::string& path, std::string_view content,
                        ProfileFileLayer& files = PosixProfileFiles());

}  // namespace brisolant
