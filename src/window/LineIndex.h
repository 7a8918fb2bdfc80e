#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace brisolant {

// Where each line of a text file lies, so that a file of a million lines can be shown without
// holding its text. A line ends at CR or at CR LF; the line end is not part of the line, a last
// line without a line end counts, and an LF not preceded by CR is part of the line's text. The
// file is open only while it is read: a removable drive or a replaced file is never pinned.
class LineIndex {
  public:
    // Reads the whole file once and records where its lines start. Throws
    // Failure(DataFileRead, "<path>: <reason>") when the file cannot be opened or read.
    explicit LineIndex(std::string path);

    std::size_t size() const { return lineCount_; }
    // The length in bytes of the longest line, its line end included.
    std::uint64_t Widest() const { return widest_; }

    // True when the file at the path is no longer the one indexed: it is gone, another file took
    // its place, or it was cut shorter. Bytes appended since do not count as a change.
    bool Changed() const;

    // The texts of count lines from line first, each without its line end and cut to at most
    // maxBytes; the file is opened once for all of them. Lines out of range, and every line when
    // the file can no longer be read, are empty.
    std::vector<std::string> Lines(std::size_t first, std::size_t count,
                                   std::size_t maxBytes) const;
    std::string Line(std::size_t i,
                     std::size_t maxBytes = std::numeric_limits<std::size_t>::max()) const;

  private:
    void Build(int fd);
    std::string LineAt(int fd, std::size_t i, std::size_t maxBytes) const;

    std::string path_;
    // The indexed file, to tell it from one put in its place.
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    // starts_[i] is where line i begins; starts_[size()] is where the last line's end ends.
    std::vector<std::uint64_t> starts_;
    std::size_t lineCount_ = 0;
    std::uint64_t widest_ = 0;
    bool lastLineEnded_ = true;
};

}  // namespace brisolant
