#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "store/FileLayer.h"
#include "store/JournalFormat.h"

namespace brisolant {

// A scan's record line on its way into a data file.
struct AppendItem {
    std::string bytes;               // the record line and CR LF
    std::optional<LinePlace> place;  // where an earlier write of it began: look there first
};

// One piece of writing: scans for one data file, oldest first, written and synced together.
struct AppendTask {
    std::string folder;
    std::string fileName;
    bool createFolder = false;  // the program's own default folder is made at first need
    // The first record must start a line of its own: the file's last byte is looked at, unless
    // the file ends where ownEnd says.
    bool checkTail = false;
    std::vector<AppendItem> items;
    // Where the program's own last write to this file ended, when known. A file of that size
    // ends with a whole record of ours and needs no look; any other size means somebody else
    // wrote to it or it lost its tail.
    std::optional<std::uint64_t> ownEnd;

    std::string Path() const { return folder + fileName; }
};

struct AppendOutcome {
    std::size_t alreadyThere = 0;    // leading items that an earlier write put in their files
    std::size_t appended = 0;        // the items after those, now in the file and on the disk
    std::optional<Failure> failure;  // why the rest is not written
    // Where the appended items begin, once the file was opened and the gate passed.
    std::optional<std::uint64_t> appendOffset;
    bool bytesLeft = false;  // a failed write could not be taken back: part of it may remain
    // Where the file ends once the appended items are on the disk.
    std::optional<std::uint64_t> end;
};

// Asked once the file is open and before a byte is written: may the items from `first` on be
// written, starting at `offset`? Where they go must be on record before they are written.
using AppendGate = std::function<bool(std::size_t first, std::uint64_t offset)>;

// Does the task: items with a place are looked for there, in order, until one is not found
// whole (a torn part of it at the end of its file is taken back); the rest are appended, on a
// line of their own, and synced. Never throws; what went wrong is in the outcome.
AppendOutcome RunAppendTask(const AppendTask& task, FileLayer& files, const AppendGate& gate);

// Whether a data file name can be written: not empty, no "/" and no NUL.
bool IsUsableFileName(const std::string& fileName);

}  // namespace brisolant
