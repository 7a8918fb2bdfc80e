#include "window/RecordLines.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

#include "window/LineIndex.h"

namespace brisolant {

// A run of lines: the lines of one file (file set), of which the blocks read so far are kept, or
// lines appended one by one.
struct RecordLines::Segment {
    std::size_t first = 0;
    std::shared_ptr<const LineIndex> file;
    std::map<std::size_t, std::vector<std::string>> blocks;
    std::vector<std::string> lines;
    std::size_t widest = 0;

    std::size_t size() const { return file ? file->size() : lines.size(); }

    std::optional<std::string> FileLine(std::size_t local) const {
        const auto block = blocks.find(local / kRowsPerBlock);
        if (block == blocks.end()) {
            return std::nullopt;
        }
        const std::size_t row = local % kRowsPerBlock;
        return row < block->second.size() ? block->second[row] : std::string();
    }
};

namespace {

std::size_t ShownWidth(std::uint64_t bytes) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, RecordLines::kMaxShownBytes));
}

}  // namespace

RecordLines::RecordLines() = default;
RecordLines::~RecordLines() = default;

std::size_t RecordLines::Widest() const {
    std::size_t widest = 0;
    for (const Segment& segment : segments_) {
        widest = std::max(widest, segment.widest);
    }
    return std::min(widest, kMaxShownBytes);
}

void RecordLines::Clear() {
    segments_.clear();
    size_ = 0;
    awaitingFile_ = false;
    held_.clear();
}

void RecordLines::AppendLine(const std::string& line) {
    if (segments_.empty() || segments_.back().file) {
        segments_.push_back({size_, nullptr, {}, {}, 0});
    }
    Segment& run = segments_.back();
    run.lines.push_back(line.substr(0, kMaxShownBytes));
    run.widest = std::max(run.widest, run.lines.back().size());
    ++size_;
}

void RecordLines::AwaitFile() {
    awaitingFile_ = true;
}

void RecordLines::AppendFile(DataFileLines lines) {
    Segment segment{size_, std::move(lines.file), {}, {}, 0};
    segment.widest = ShownWidth(segment.file->Widest());
    for (RowBlock& block : lines.newest) {
        segment.blocks[block.block] = std::move(block.rows);
    }
    size_ += segment.size();
    segments_.push_back(std::move(segment));
    awaitingFile_ = false;
    for (const HeldRecord& record : std::exchange(held_, {})) {
        AppendRecord(record.path, record.offset, record.line);
    }
}

void RecordLines::AppendRecord(const std::string& path, std::uint64_t offset,
                               const std::string& line) {
    if (awaitingFile_) {
        held_.push_back({path, offset, line});
    } else if (!Holds(path, offset)) {
        AppendLine(line);
    }
}

bool RecordLines::Holds(const std::string& path, std::uint64_t offset) const {
    return std::any_of(segments_.begin(), segments_.end(), [&](const Segment& segment) {
        return segment.file && segment.file->path() == path &&
               offset < segment.file->IndexedBytes();
    });
}

std::vector<std::optional<std::string>> RecordLines::Lines(std::size_t first,
                                                           std::size_t count) const {
    std::vector<std::optional<std::string>> lines;
    lines.reserve(count);
    auto segment =
        std::upper_bound(segments_.begin(), segments_.end(), first,
                         [](std::size_t line, const Segment& s) { return line < s.first; });
    if (segment != segments_.begin()) {
        --segment;
    }
    for (; lines.size() < count && segment != segments_.end(); ++segment) {
        if (first + lines.size() >= segment->first + segment->size()) {
            continue;
        }
        const std::size_t local = first + lines.size() - segment->first;
        const std::size_t wanted = std::min(count - lines.size(), segment->size() - local);
        if (segment->file) {
            for (std::size_t i = local; i < local + wanted; ++i) {
                lines.push_back(segment->FileLine(i));
            }
        } else {
            lines.insert(lines.end(), segment->lines.begin() + static_cast<std::ptrdiff_t>(local),
                         segment->lines.begin() + static_cast<std::ptrdiff_t>(local + wanted));
        }
    }
    lines.resize(count, std::string());
    return lines;
}

std::vector<RowsWanted> RecordLines::Missing(std::size_t first, std::size_t count) const {
    std::vector<RowsWanted> missing;
    for (const Segment& segment : segments_) {
        const std::size_t end = segment.first + segment.size();
        if (!segment.file || end <= first || segment.first >= first + count) {
            continue;
        }
        const std::size_t from = std::max(first, segment.first) - segment.first;
        const std::size_t to = std::min(first + count, end) - segment.first;  // past the last
        for (std::size_t block = from / kRowsPerBlock; block <= (to - 1) / kRowsPerBlock; ++block) {
            if (!segment.blocks.contains(block)) {
                missing.push_back({segment.file, block});
            }
        }
    }
    return missing;
}

void RecordLines::TakeRows(RowBlock rows) {
    const auto segment = std::find_if(segments_.begin(), segments_.end(),
                                      [&](const Segment& s) { return s.file == rows.file; });
    if (segment == segments_.end()) {
        return;  // cleared since it was asked for
    }
    auto& blocks = segment->blocks;
    blocks[rows.block] = std::move(rows.rows);
    while (blocks.size() > kKeptBlocks) {
        const auto distance = [&](std::size_t block) {
            return block > rows.block ? block - rows.block : rows.block - block;
        };
        // The farthest from the last read is at one end or the other.
        const auto front = blocks.begin();
        const auto back = std::prev(blocks.end());
        blocks.erase(distance(front->first) >= distance(back->first) ? front : back);
    }
}

}  // namespace brisolant
