#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brisolant {

// Where a write of a waiting scan began: its line starts at `offset` in the file at `path`.
struct LinePlace {
    std::string path;
    std::uint64_t offset = 0;

    bool operator==(const LinePlace&) const = default;
};

// A scan the journal keeps: the data file it belongs to (the day it arrived on), its record line
// without CR LF, and where a write of it began, when one did.
struct JournalScan {
    std::uint64_t seq = 0;
    std::string fileName;
    std::string line;
    std::optional<LinePlace> place;

    bool operator==(const JournalScan&) const = default;
};

// A kept scan as the journal's index knows it: its number and where its record starts in the
// file. Its text stays in the file until it is to be written.
struct JournalEntry {
    std::uint64_t seq = 0;
    std::uint64_t at = 0;

    bool operator==(const JournalEntry&) const = default;
};

// What a journal holds once read, without the scans' texts.
struct JournalIndex {
    std::deque<JournalEntry> waiting;           // oldest first
    std::map<std::uint64_t, LinePlace> places;  // of waiting scans, by number
    std::uint64_t lastSeq = 0;                  // the highest number an entry carried
    std::size_t damaged = 0;                    // damaged entries skipped
    std::size_t overLimit = 0;                  // entries beyond the limit, not taken
    bool earlierFormat = false;                 // holds entries of the program's earlier journal
};

// The journal is a sequence of lines, each a record with a check of its contents, so that a
// damaged one can be told and skipped:
//   S<check> <seq> <name length> <line length> <name><line>   a scan kept
//   P<check> <seq> <offset> <path length> <path>              where a write of it begins
//   D<check> <seq>                                            every scan up to seq is written
// The check is 8 hex digits of FNV-1a over the letter and everything after the blank that
// follows the check. The earlier program wrote "E" entries (with a folder, numbered by their
// order) and "W" marks (the oldest is written); both are still read.
// A record of the given letter and body with its check, ending in a line end. The database
// outbox's records are made the same way.
std::string CheckedRecord(char letter, std::string_view body);

std::string ScanRecordText(std::uint64_t seq, std::string_view fileName, std::string_view line);
std::string PlaceRecordText(std::uint64_t seq, const LinePlace& place);
std::string DoneRecordText(std::uint64_t seq);

// How reading one record went.
enum class RecordRead { Whole, NeedMore, Damaged };

// Reads back the record of the kept scan `entry` from `text`, which starts where the record does:
// a scan record with the entry's number (or the earlier program's entry, which the index numbered).
RecordRead ReadScanRecord(std::string_view text, const JournalEntry& entry, JournalScan& scan);

// Reads a journal piece by piece in bounded memory: whole records are taken, damaged stretches
// skipped up to the next record whose check holds, and at most `limit` scans kept, each as its
// number and place in the journal.
class JournalParser {
  public:
    // The longest record taken; anything longer is damage.
    static constexpr std::size_t kMaxRecord = 64 * 1024;

    explicit JournalParser(std::size_t limit);

    void Feed(std::string_view bytes);
    // The end of the file: whatever is left is a torn or damaged record.
    JournalIndex Finish();
    // Bytes held back, waiting for the rest of a record.
    std::size_t Buffered() const { return pending_.size() - start_; }

  private:
    enum class Outcome { Taken, NeedMore, Damaged };
    void Parse(bool atEnd);
    Outcome ParseOne(std::size_t& length);
    void Skip(std::size_t count);
    void EndDamage();
    void Apply(std::uint64_t seq);
    void ApplyPlace(std::uint64_t seq, LinePlace place);
    void ApplyDone(std::uint64_t seq);
    void TakeOldest();

    std::size_t limit_;
    std::string pending_;
    std::size_t start_ = 0;     // where the unread part of pending_ begins
    std::uint64_t passed_ = 0;  // the bytes of the journal before pending_
    JournalIndex index_;
    bool in_damage_ = false;
    std::size_t damaged_lines_ = 0;  // line ends skipped in the current damaged stretch
};

}  // namespace brisolant
