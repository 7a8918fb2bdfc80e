#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "window/LineIndex.h"

namespace brisolant {

// The data view reads its file in blocks of this many lines: one block is what a view shows and
// a little more, and reading it is a single short call.
inline constexpr std::size_t kRowsPerBlock = 128;

// Lines of a data file as read, block `block` of it, each cut to the bytes a row shows.
struct RowBlock {
    std::shared_ptr<const LineIndex> file;
    std::size_t block = 0;
    std::vector<std::string> rows;
};

// A data file's lines as the data view opens with them: the index, and the newest blocks, which
// the view shows first.
struct DataFileLines {
    std::shared_ptr<const LineIndex> file;
    std::vector<RowBlock> newest;
};

// The two reads below may hang as long as the data folder does (a lost share): they are for a
// thread that is not the window's.

// Indexes the file and reads its newest lines. Throws Failure(DataFileRead) when the file cannot
// be read. The file is closed, once nobody holds the index any more, on a thread of its own.
DataFileLines ReadDataFileLines(const std::string& path, std::size_t maxBytes);

// Reads block `block` of the file's lines, each cut to maxBytes.
RowBlock ReadRowBlock(std::shared_ptr<const LineIndex> file, std::size_t block,
                      std::size_t maxBytes);

// The index, shared, closing its file on a thread of its own once the last holder lets it go:
// closing a file on a share that has stopped answering can hang as long as a read.
std::shared_ptr<const LineIndex> ClosedOffThread(std::unique_ptr<LineIndex> file);

}  // namespace brisolant
