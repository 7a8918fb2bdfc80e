#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "store/CentralRecord.h"

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
    std::optional<CentralRecord> central;  // a T record's, its line the scan's

    bool operator==(const JournalScan&) const = default;
};

// A kept scan as the journal's index knows it: its number and where its record starts in the
// file. Its text stays in the file until it is to be written.
struct JournalEntry {
    std::uint64_t seq = 0;
    std::uint64_t at = 0;

    bool operator==(const JournalEntry&) const = default;
};

// How the records for the site's database are numbered: the entry `from` of the log and every
// later one get `base` plus their distance from it, as records of `station`. Numbers a station
// gave never change: a later numbering (another station's name) covers only records not yet
// committed.
struct Numbering {
    std::uint64_t from = 0;
    std::uint64_t base = 0;
    std::string station;

    // The number of the log entry `seq`, which must not come before `from`.
    std::uint64_t NumberOf(std::uint64_t seq) const { return base + (seq - from); }
    bool operator==(const Numbering&) const = default;
};

// What a journal holds once read, without the scans' texts.
struct JournalIndex {
    std::deque<JournalEntry> waiting;           // for their data files, oldest first
    std::map<std::uint64_t, LinePlace> places;  // of waiting scans, by number
    std::deque<JournalEntry> forDatabase;       // records not yet committed, oldest first
    std::uint64_t committed = 0;                // every record up to this entry is committed
    std::optional<Numbering> numbering;         // the latest
    std::uint64_t lastSeq = 0;                  // the highest number an entry carried
    std::size_t damaged = 0;                    // damaged entries skipped
    std::size_t overLimit = 0;                  // entries beyond the limit, not taken
    bool earlierFormat = false;                 // holds entries of the program's earlier journal
    // An append that a power cut or a kill left unfinished: its bytes end the file from
    // `wholeEnd` on and are no damage, since nothing relied on them.
    bool tornTail = false;
    std::uint64_t wholeEnd = 0;  // where the last whole record ends
};

// The journal is the station's log: a sequence of lines, each a record with a check of its
// contents, so that a damaged one can be told and skipped:
//   S<check> <seq> <name length> <line length> <name><line>   a scan kept
//   T<check> <seq> <number> <name length> <line length> <count> <length>... <name><line>
//            <field>...                                      a scan with its record for the
//                                                            database (`count` fields)
//   P<check> <seq> <offset> <path length> <path>              where a write of it begins
//   D<check> <seq>                                            every scan up to seq is written
//   C<check> <seq>                                            every record up to seq is committed
//   N<check> <from> <base> <station length> <station>         how records are numbered
// A T record's number is 0 unless the record was numbered before it came into the log (an
// earlier program's outbox); its file name is empty when its line is in its file already. Its
// fields are the record's station (empty when numbered by N) and the values, as in
// CentralRecord; a reader skips fields a later program adds behind them.
// The check is 8 hex digits of FNV-1a over the letter and everything after the blank that
// follows the check. The earlier program wrote "E" entries (with a folder, numbered by their
// order) and "W" marks (the oldest is written); both are still read.
// A record of the given letter and body with its check, ending in a line end. The database
// outbox's records are made the same way.
std::string CheckedRecord(char letter, std::string_view body);

std::string ScanRecordText(std::uint64_t seq, std::string_view fileName, std::string_view line);
std::string PlaceRecordText(std::uint64_t seq, const LinePlace& place);
std::string DoneRecordText(std::uint64_t seq);
std::string TableScanRecordText(std::uint64_t seq, std::string_view fileName,
                                const CentralRecord& record);
std::string CommittedRecordText(std::uint64_t seq);
std::string NumberingRecordText(const Numbering& numbering);

// How reading one record went.
enum class RecordRead { Whole, NeedMore, Damaged };

// Reads back the record of the kept scan `entry` from `text`, which starts where the record does:
// a scan record with the entry's number (or the earlier program's entry, which the index numbered).
RecordRead ReadScanRecord(std::string_view text, const JournalEntry& entry, JournalScan& scan);

// One record of the log read from the text that begins with it, for a reader that goes through
// the log in order: its letter, length, number and, for a T record, the record for the database
// (its `seq` the number the record came with, 0 when the numbering gives it).
struct LogRecord {
    char letter = 0;
    std::uint64_t seq = 0;
    std::size_t length = 0;
    CentralRecord central;
};
RecordRead ReadLogRecord(std::string_view text, LogRecord& record);

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
    // Bytes fed so far.
    std::uint64_t Read() const { return passed_ + pending_.size(); }

  private:
    enum class Outcome { Taken, NeedMore, Damaged };
    void Parse(bool atEnd);
    Outcome ParseOne(std::size_t& length);
    void Skip(std::size_t count);
    void EndDamage();
    void Apply(std::uint64_t seq);
    void ApplyPlace(std::uint64_t seq, LinePlace place);
    void ApplyDone(std::uint64_t seq);
    void ApplyCommitted(std::uint64_t seq);
    void TakeOldest();

    std::size_t limit_;
    std::string pending_;
    std::size_t start_ = 0;     // where the unread part of pending_ begins
    std::uint64_t passed_ = 0;  // the bytes of the journal before pending_
    JournalIndex index_;
    bool in_damage_ = false;
    std::size_t damaged_lines_ = 0;  // line ends skipped in the current damaged stretch
    bool rejected_whole_ = false;    // it holds a whole record that cannot stand there
};

}  // namespace brisolant
