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
// line without a line end counts, and an LF not preceded by CR is part of the line's text. The
// file stays open while the index lives and is read again for each line asked for.
class LineIndex {
  public:
    // Reads the whole file once and records where its lines start. Throws
    // Failure(DataFileRead, "<path>: <reason>") when the file cannot be opened or read.
    explicit LineIndex(const std::string& path);

    std::size_t size() const { return lineCount_; }

    // The text of line i, without its line end and cut to at most maxBytes. Empty when i is out
    // of range or the file can no longer be read (it was cut short since it was indexed).
    std::string Line(std::size_t i,
                     std::size_t maxBytes = std::numeric_limits<std::size_t>::max()) const;

  private:
    void Build(const std::string& path);

    FileDescriptor fd_;
    // starts_[i] is where line i begins; starts_[size()] is where the last line's end ends.
    std::vector<std::uint64_t> starts_;
    std::size_t lineCount_ = 0;
    bool lastLineEnded_ = true;
};

}  // namespace brisolant
