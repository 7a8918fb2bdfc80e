#include "window/DataFileLines.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace brisolant {

DataFileLines ReadDataFileLines(const std::string& path, std::size_t maxBytes) {
    DataFileLines lines{ClosedOffThread(std::make_unique<LineIndex>(path)), {}};
    const std::size_t blocks = (lines.file->size() + kRowsPerBlock - 1) / kRowsPerBlock;
    for (std::size_t block = blocks > 2 ? blocks - 2 : 0; block < blocks; ++block) {
        lines.newest.push_back(ReadRowBlock(lines.file, block, maxBytes));
    }
    return lines;
}

RowBlock ReadRowBlock(std::shared_ptr<const LineIndex> file, std::size_t block,
                      std::size_t maxBytes) {
    const std::size_t first = block * kRowsPerBlock;
    const std::size_t count =
        first < file->size() ? std::min(kRowsPerBlock, file->size() - first) : 0;
    std::vector<std::string> rows = file->Lines(first, count, maxBytes);
    return {std::move(file), block, std::move(rows)};
}

std::shared_ptr<const LineIndex> ClosedOffThread(std::unique_ptr<LineIndex> file) {
    return std::shared_ptr<const LineIndex>(file.release(), [](const LineIndex* index) {
        // Never joined, for the reason a hung read is not: the program may end before it.
        try {
            std::thread([index] { delete index; }).detach();
        } catch (const std::system_error&) {
            delete index;  // no thread to be had: closed here rather than kept open
        }
    });
}

}  // namespace brisolant
