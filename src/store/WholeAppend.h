#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "store/FileLayer.h"

namespace brisolant {

// Writes all of the bytes; returns 0 or the error, and in `written` how many reached the file.
int WriteBytes(FileLayer& files, int fd, std::string_view bytes, std::size_t& written);

// Appends the records to the file at `path` (made when missing, never through a link), synced
// when `sync` says: all of them, or, when a step fails, none, since what was written is cut off
// again so that a torn record never hides the next. Returns 0 or the error, and in `before` the
// file's size before them.
int AppendWhole(FileLayer& files, const std::string& path, std::string_view records, bool sync,
                off_t& before);

}  // namespace brisolant
