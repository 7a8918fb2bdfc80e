#include "window/RecordLines.h"

#include <algorithm>
#include <iterator>

#include "common/Failure.h"
#include "window/LineIndex.h"

namespace brisolant {

// A run of lines: the lines of one file (file set) or lines appended one by one.
struct RecordLines::Segment {
    std::size_t first = 0;
    std::unique_ptr<LineIndex> file;
    std::vector<std::string> lines;
    std::size_t widest = 0;

    std::size_t size() const { return file ? file->size() : lines.size(); }
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
}

void RecordLines::AppendLine(const std::string& line) {
    if (segments_.empty() || segments_.back().file) {
        segments_.push_back({size_, nullptr, {}, 0});
    }
    Segment& run = segments_.back();
    run.lines.push_back(line.substr(0, kMaxShownBytes));
    run.widest = std::max(run.widest, run.lines.back().size());
    ++size_;
}

void RecordLines::AppendFile(const std::string& path) {
    auto file = std::make_unique<LineIndex>(path);
    const std::size_t widest = ShownWidth(file->Widest());
    segments_.push_back({size_, std::move(file), {}, widest});
    size_ += segments_.back().size();
}

bool RecordLines::Holds(const std::string& path, std::uint64_t offset) const {
    return std::any_of(segments_.begin(), segments_.end(), [&](const Segment& segment) {
        return segment.file && segment.file->path() == path &&
               offset < segment.file->IndexedBytes();
    });
}

std::vector<std::string> RecordLines::Lines(std::size_t first, std::size_t count) const {
    std::vector<std::string> lines;
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
            auto read = segment->file->Lines(local, wanted, kMaxShownBytes);
            std::move(read.begin(), read.end(), std::back_inserter(lines));
        } else {
            lines.insert(lines.end(), segment->lines.begin() + static_cast<std::ptrdiff_t>(local),
                         segment->lines.begin() + static_cast<std::ptrdiff_t>(local + wanted));
        }
    }
    lines.resize(count);
    return lines;
}

}  // namespace brisolant
