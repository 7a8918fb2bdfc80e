#pragma once

// Tells a test when the last holder of a data file's lines lets them go: an answer dropped, a
// list cleared.

#include <atomic>
#include <memory>
#include <utility>

#include "window/DataFileLines.h"

namespace brisolant::test {

class DropMark {
  public:
    DropMark(std::shared_ptr<const LineIndex> file, std::atomic<bool>& dropped)
        : file_(std::move(file)), dropped_(dropped) {}
    ~DropMark() { dropped_ = true; }
    DropMark(const DropMark&) = delete;
    DropMark& operator=(const DropMark&) = delete;

    // The lines, their index now held through a mark that sets `dropped` once it goes.
    static DataFileLines Marked(DataFileLines lines, std::atomic<bool>& dropped) {
        auto mark = std::make_shared<DropMark>(std::move(lines.file), dropped);
        const LineIndex* index = mark->file_.get();
        lines.file = std::shared_ptr<const LineIndex>(std::move(mark), index);
        for (RowBlock& block : lines.newest) {
            block.file = lines.file;
        }
        return lines;
    }

  private:
    std::shared_ptr<const LineIndex> file_;
    std::atomic<bool>& dropped_;
};

}  // namespace brisolant::test
