#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window/DataFileLines.h"

namespace brisolant {

class LineIndex;

// Rows of a data file that the view needs and has not read yet: block `block` of its lines.
struct RowsWanted {
    std::shared_ptr<const LineIndex> file;
    std::size_t block = 0;
};

// The lines of the data view: the lines of data files, indexed by their offsets and read in
// blocks, on a thread that is not the window's, when shown, each followed by the lines appended
// one by one since. A file's lines stay those it held when it was added, whatever happens to the
// file afterwards: the records written since come as appended lines, never again from the file.
// Adding a line costs the same however many there are, so a view of a million lines follows the
// station as one of ten does.
class RecordLines {
  public:
    // A shown line holds at most this many bytes. A record is 139 or 190 characters; a file that
    // is not a data file may hold a line of any length, which must not be read whole to draw it.
    static constexpr std::size_t kMaxShownBytes = 4096;
    // How many blocks of a file's lines are kept once read: those nearest the last one read
    // stay.
    static constexpr std::size_t kKeptBlocks = 64;

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

    // A file's lines are being read: records added until they come wait behind them.
    void AwaitFile();
    bool AwaitingFile() const { return awaitingFile_; }
    // Adds the file's lines at the end, then the records that waited for them, but those the
    // file already holds. Its file stays open until Clear.
    void AppendFile(DataFileLines lines);
    // Adds a record written to the file at `path` from `offset` on, unless a file's lines here
    // already hold it (it was written just before the file was read).
    void AppendRecord(const std::string& path, std::uint64_t offset, const std::string& line);

    // Whether a file's lines include the line that starts at `offset` in the file at `path`.
    bool Holds(const std::string& path, std::uint64_t offset) const;

    // The texts of count lines from line first, each cut to kMaxShownBytes; lines past the end
    // are empty, and a file's line not read yet has none.
    std::vector<std::optional<std::string>> Lines(std::size_t first, std::size_t count) const;
    // The blocks of file lines among count lines from line first that have not been read, in
    // order.
    std::vector<RowsWanted> Missing(std::size_t first, std::size_t count) const;
    // Keeps the lines read, if their file's lines are still here.
    void TakeRows(RowBlock rows);

  private:
    struct Segment;
    struct HeldRecord {
        std::string path;
        std::uint64_t offset;
        std::string line;
    };

    std::vector<Segment> segments_;
    std::size_t size_ = 0;
    bool awaitingFile_ = false;
    std::vector<HeldRecord> held_;
};

}  // namespace brisolant
