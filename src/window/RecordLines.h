#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brisolant {

class LineIndex;

// The lines of the data view: the lines of data files, indexed by their offsets and read only
// when shown, each followed by the lines appended one by one since. A file's lines stay those it
// held when it was added, whatever happens to the file afterwards: the records written since
// come as appended lines, never again from the file. Adding a line costs the same however many
// there are, so a view of a million lines follows the station as one of ten does.
class RecordLines {
  public:
    // A shown line holds at most this many bytes. A record is 139 or 190 characters; a file that
    // is not a data file may hold a line of any length, which must not be read whole to draw it.
    static constexpr std::size_t kMaxShownBytes = 4096;

    RecordLines();
    ~RecordLines();
    RecordLines(const RecordLines&) = delete;
    RecordLines& operator=(const RecordLines&) = delete;

    std::size_t size() const { return size_; }
    // The length in bytes of the longest line, at most kMaxShownBytes.
    std::size_t Widest() const;

    void Clear();
    // Adds one line at the end (8-bit text).
    void AppendLine(const std::string& line);
    // Adds every line of the file at the end: a line ends at CR or CR LF; a last line without a
    // line end counts. The file stays open until Clear. Throws Failure(DataFileRead) when the
    // file cannot be read.
    void AppendFile(const std::string& path);

    // Whether a file's lines include the line that starts at `offset` in the file at `path`.
    bool Holds(const std::string& path, std::uint64_t offset) const;

    // The texts of count lines from line first, each cut to kMaxShownBytes; lines past the end
    // are empty.
    std::vector<std::string> Lines(std::size_t first, std::size_t count) const;

  private:
    struct Segment;

    std::vector<Segment> segments_;
    std::size_t size_ = 0;
};

}  // namespace brisolant
