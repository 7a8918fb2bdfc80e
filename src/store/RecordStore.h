#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "common/Failure.h"
#include "store/CentralRecord.h"
#include "store/DataFileAppender.h"
#include "store/FileLayer.h"
#include "store/RecordJournal.h"
#include "store/WriterNews.h"

namespace brisolant {

// Where record lines go: the folder the settings name now. A scan that waits keeps its own file
// name (the day it arrived), and goes to the folder named when it is written.
struct Destination {
    std::string folder;
    bool createFolder = false;  // the program's own default folder is made at first need

    bool operator==(const Destination&) const = default;
};

// What the journal holds for the site's database, as the store found it at the start.
struct LogForDatabase {
    std::deque<JournalEntry> waiting;  // records not yet committed, oldest first
    std::uint64_t committed = 0;       // every record up to this entry is committed
    std::optional<Numbering> numbering;
};

// The scans on their way to their data files, oldest first, and the journal that keeps them
// while they cannot be written. It decides what to write next and learns how it went; the
// writing itself is RunAppendTask's, so that it can run where a hung disk holds up nothing else.
//
// A scan goes straight to its file while the files take them. Once a write fails or does not
// finish in time, every scan not in its file is kept in the journal, and so is each new one until
// the files take them again. Before a kept scan is written, the journal records the file and the
// offset its line will start at; at the next start only such a place is looked at, so a scan is
// taken as written only when its own write put it there.
//
// A scan in the journal keeps its text in memory only while it is among the next task's worth to
// be written; the others are read back from the journal when their turn comes, so that a day of
// waiting scans costs little memory.
class RecordStore {
  public:
    // A day at the station's full rate.
    static constexpr std::size_t kLimit = 100000;
    // The most lines and bytes one write takes. The texts of as many kept scans, the next to be
    // written, are held in memory.
    static constexpr std::size_t kTaskLines = 4096;
    static constexpr std::size_t kTaskBytes = 1024 * 1024;

    RecordStore(FileLayer& files, const Clock& clock, std::size_t taskLines = kTaskLines);

    // Takes the scans the journal at `path` kept from an earlier run; they go before any new
    // one. Returns what the journal holds for the database.
    LogForDatabase OpenJournal(const std::string& path);
    void SetDestination(Destination destination);
    // A new scan, behind the others, with its record for the database when one is named.
    // False when kLimit scans wait: it is not taken. While writes are in trouble it goes into the
    // journal at once, unless `more` says that others follow at once: KeepArrivals then keeps
    // them all in one append and one sync.
    bool Add(std::string fileName, std::string line,
             std::optional<CentralRecord> central = std::nullopt, bool more = false);
    // Keeps the scans added with `more` in the journal, when writes are in trouble.
    void KeepArrivals();
    // While a database is named, every scan goes into the journal, the station's log, before
    // its line is written, with its record for the database: the log is then the one place
    // both the data file and the database are written from.
    void SetLogEverything(bool everything) { log_everything_ = everything; }
    // The journal is never emptied while it holds records for the database or their numbering.
    void SetKeepJournal(bool keep) { keep_journal_ = keep; }

    // The next write to do, when one is due and none is running.
    std::optional<AppendTask> NextTask();
    // The running task has opened its file; its items from `first` on will start at `offset`.
    // True once the journal records where its kept scans go, or they need no record.
    bool BeginWrite(std::size_t first, std::uint64_t offset);
    // The running task takes longer than a usual write: everything not in its file goes into
    // the journal, and so does each new scan as it comes, until the task is done.
    void TaskRunsLong();
    // The running task has not finished in time: the same, and the scans wait for `why`.
    void TaskSlow(const Failure& why);
    void TaskDone(const AppendOutcome& outcome);
    // The time to try again after a failure has come.
    void RetryDue() { retry_due_ = true; }
    // The program ends: keeps in the journal what is not written. Returns how many scans could
    // not be kept.
    std::size_t KeepAll();

    // The journal, when it could be opened: the station's log, which the database's side
    // reads too.
    RecordJournal* Journal() { return journal_ ? &*journal_ : nullptr; }
    // Records for the database put into the journal since last asked.
    std::size_t TakeNewTableEntries() { return std::exchange(new_table_entries_, 0); }
    // Records for the database that could not go into the journal since last asked (it cannot
    // be written): their lines are written all the same.
    std::size_t TakeUnloggedTableEntries() { return std::exchange(unlogged_table_entries_, 0); }
    // Where the journal's first entry still waiting for its file begins, when one does.
    std::optional<std::uint64_t> FirstWaitingAt() const;
    // The journal was written afresh from `from` on: entries moved that much closer to its
    // start.
    void JournalCompacted(std::uint64_t from);
    // The number the next journal entry gets; entries made elsewhere go before it.
    std::uint64_t NextSeq() const { return next_seq_; }
    void SetNextSeq(std::uint64_t seq) { next_seq_ = std::max(next_seq_, seq); }
    // Scans not yet in the journal.
    std::size_t Unjournaled() const { return queue_.size() - journaled_; }

    bool Busy() const { return busy_; }
    // A write failed and the scans wait for the retry.
    bool WaitingForRetry() const { return retry_pending_ && !busy_; }
    std::size_t Count() const { return queue_.size(); }
    WriterNews TakeNews();

  private:
    struct ScanText {
        std::string fileName;
        std::string line;
        std::optional<LinePlace> place;        // where a write of it began
        std::optional<CentralRecord> central;  // until it is in the journal
    };
    struct Queued {
        std::uint64_t seq = 0;           // its journal entry's number, once journaled
        std::uint64_t at = 0;            // where that entry begins in the journal
        std::unique_ptr<ScanText> text;  // none while the journal alone holds it
    };

    void JournalQueue() { JournalQueue(queue_.size()); }
    void JournalQueue(std::size_t upTo);
    std::string EntriesText(std::size_t upTo, std::uint64_t firstSeq);
    void Journaled(std::size_t upTo, std::uint64_t firstSeq, std::uint64_t offset);
    void ReleaseTexts(std::size_t from);
    bool ReadBackNext();
    void DropUnreadable(std::size_t count);
    std::optional<std::uint64_t> Persist(const std::string& records);
    void MarkDone(std::uint64_t lastSeq, std::size_t count);
    void SetPlacesFromBegin();
    void RewriteAfterDamage(const JournalIndex& index, LogForDatabase& forDatabase);
    std::optional<Failure> RewriteJournal(LogForDatabase& forDatabase);
    void Report();

    FileLayer& files_;
    const Clock& clock_;
    const std::size_t task_lines_;
    std::optional<RecordJournal> journal_;
    std::optional<Failure> journal_unusable_;  // it could not be read: nothing goes into it
    std::deque<Queued> queue_;
    std::map<std::uint64_t, LinePlace> kept_places_;  // of kept scans not read back yet, by number
    std::size_t journaled_ = 0;  // the queue's first scans, whose entries are in the journal
    std::uint64_t next_seq_ = 1;
    std::uint64_t received_ = 0;  // scans taken by Add
    std::size_t unmarked_ = 0;    // written scans whose done mark failed in this run
    bool log_everything_ = false;
    bool keep_journal_ = false;
    std::size_t new_table_entries_ = 0;
    std::size_t unlogged_table_entries_ = 0;
    std::optional<Destination> destination_;
    // Where the program's own last write to each file ended: a file still of that size needs no
    // look at its end. Forgotten when in doubt: a failed write, another folder.
    std::map<std::string, std::uint64_t> own_ends_;

    bool busy_ = false;
    std::size_t task_items_ = 0;
    std::string task_path_;
    std::optional<std::pair<std::size_t, std::uint64_t>> task_begun_;  // first item, offset
    bool journal_arrivals_ = false;  // the running task takes long: new scans go into the journal
    bool retry_pending_ = false;
    bool retry_due_ = false;

    std::optional<Failure> cause_;            // why the scans wait
    std::optional<Failure> journal_failure_;  // why the journal cannot keep them
    WriterNews news_;
    std::optional<WriterStatus> reported_;
};

}  // namespace brisolant
