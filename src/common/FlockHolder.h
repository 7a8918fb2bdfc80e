#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string_view>

namespace brisolant {

// Who holds an flock on a file, as /proc/locks lists it: its lines name the locked file by the
// device of its file system (major and minor in hex) and its inode, so the holder is found
// whatever name it opened the file by.

// The holder in the text of /proc/locks, given the file's st_dev and st_ino. Nothing when no
// flock is held on it; 0 when one is held by a process that cannot be seen from here.
[[nodiscard]] std::optional<pid_t> FlockHolderIn(std::string_view locks, dev_t device, ino_t inode);

// The same, from this system's /proc/locks, for the file that `file` describes (stat or fstat).
[[nodiscard]] std::optional<pid_t> FlockHolder(const struct stat& file);

}  // namespace brisolant
