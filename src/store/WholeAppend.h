#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "store/FileLayer.h"

namespace brisolant {

// Writes all of the bytes; returns 0 or the error, and in `written` how many reached the file.
int WriteBytes(FileLayer& files, int fd, std::string_view bytes, std::size_t& written);

// How an append ended besides its error.
struct AppendEnd {
    off_t before = 0;        // the file's size before the records
    bool bytesLeft = false;  // a failed append could not be cut off again: part of it remains
};

// Appends the records to the file at `path` (made when missing, with its folder's entry synced,
// never through a link), synced when `sync` says: all of them, or, when a step fails, none,
// since what was written is cut off again so that a torn record never hides the next. Returns 0
// or the error.
int AppendWhole(FileLayer& files, const std::string& path, std::string_view records, bool sync,
                AppendEnd& end);

}  // namespace brisolant
