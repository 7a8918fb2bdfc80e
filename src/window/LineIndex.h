#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/PosixFile.h"

namespace brisolant {

// Where each line of a text file lies, so that a file of a million lines can be shown without
// holding its text. A line ends at CR or at CR LF; the line end is not part of the line, a last
// line without a line end counts, and an LF not preceded by CR is part of the line's text.
// The file stays open while the index lives, so that its lines are always those indexed: a file
// replaced or removed since is still read as it was, and bytes appended since are not lines of
// the index.
class LineIndex {
  public:
    // Reads the whole file once and records where its lines start. Throws
    // Failure(DataFileRead, "<path>: <reason>") when the file cannot be opened or read.
    explicit LineIndex(std::string path);

    std::size_t size() const { return lineCount_; }
    const std::string& path() const { return path_; }
    // How much of the file the lines cover: a line written at or beyond it is not among them.
    std::uint64_t IndexedBytes() const { return starts_.empty() ? 0 : starts_.back(); }
    // The length in bytes of the longest line, its line end included.
    std::uint64_t Widest() const { return widest_; }

    // The texts of count lines from line first, each without its line end and cut to at most
    // maxBytes. Lines out of range are empty, and so is every line that is no longer where it
    // was indexed (the file was cut shorter or written over in place), rather than some other
    // text.
    std::vector<std::string> Lines(std::size_t first, std::size_t count,
                                   std::size_t maxBytes) const;
    std::string Line(std::size_t i,
                     std::size_t maxBytes = std::numeric_limits<std::size_t>::max()) const;

  private:
    void Build();
    // Records where the next line starts, which is where the one before it ends.
    void AddStart(std::uint64_t start);
    std::string LineAt(std::size_t i, std::size_t maxBytes) const;

    std::string path_;
    FileDescriptor file_;
    // starts_[i] is where line i begins; starts_[size()] is where the last line's end ends.
    std::vector<std::uint64_t> starts_;
    std::size_t lineCount_ = 0;
    std::uint64_t widest_ = 0;
    bool lastLineEnded_ = true;
};

}  // namespace brisolant
