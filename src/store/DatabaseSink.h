#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "store/CentralRecord.h"
#include "store/DatabaseSession.h"
#include "store/FileLayer.h"
#include "store/JournalFormat.h"
#include "store/RecordJournal.h"
#include "store/RecordStore.h"

namespace brisolant {

// Records handed to the delivery at one time, numbered, oldest first.
struct DeliveryBatch {
    std::vector<CentralRecord> records;
    std::uint64_t lastEntry = 0;  // the log entry of the last of them
};

// The database's side of the station's log, on the writer's thread. The log (the journal) holds
// each scan's record for the database from before its line is written; this side keeps a cursor
// over it: every record up to `committed` is in the table, the rest waits and is read back from
// the log a batch at a time, so that a backlog of any size costs no memory.
//
// A record's number is fixed only once the table's highest number for the station is known: it
// is then kept in the log (synced) as the numbering of every record from the first one not yet
// committed, before any statement sends one of them. A new PC, a deleted state folder or a
// table restored from backup therefore carries on above what the table holds; another station's
// name numbers the records not yet committed afresh.
class DatabaseSink {
  public:
    // The most records one statement carries.
    static constexpr std::size_t kBatch = 4096;
    static constexpr std::size_t kBatchBytes = 1024 * 1024;

    explicit DatabaseSink(FileLayer& files);

    // What the log held for the database at the start.
    void Open(RecordJournal* journal, LogForDatabase found);
    // Takes the records an earlier program kept in its outbox at `outboxPath` into the log,
    // with the numbers they had, and removes the outbox.
    void TakeOutbox(const std::string& outboxPath, std::uint64_t firstSeq, std::uint64_t& nextSeq);
    void SetTarget(DatabaseTarget target);
    const DatabaseTarget& target() const { return target_; }
    bool Named() const { return !target_.connection.empty(); }

    // Records the store put into the log.
    void Logged(std::size_t count) { waiting_ += count; }
    // The next records to send, when the delivery has none and they may be sent.
    std::optional<DeliveryBatch> NextBatch();
    // The delivery's word: the batch handed to it is committed...
    void Committed(std::uint64_t lastEntry, std::size_t count);
    // ... or was given back unsent, for another connection or station.
    void GivenBack();
    // The table's highest number for `station`; `nextEntry` is the number the next log entry
    // gets. Numbers the records when their numbers are not yet known.
    void TableHolds(const std::string& station, std::uint64_t lastSeq, std::uint64_t nextEntry);

    std::size_t Waiting() const { return waiting_; }
    // Whether the log must be kept: it holds records for the database, or their numbering.
    bool HoldsAnything() const { return waiting_ > 0 || numbering_.has_value(); }
    // Where the first record not yet committed may begin in the log, when one waits.
    std::optional<std::uint64_t> FirstWaitingAt() const;
    // What a log written afresh from `from` on must end with so that it still says how records
    // are numbered and what is committed; `nextEntry` is the number the next log entry gets.
    std::string Trailer(std::uint64_t nextEntry) const;
    void Compacted(std::uint64_t from);
    // Failures to tell once: a mark that could not be kept, an outbox that could not be taken.
    std::vector<Failure> TakeNotices() { return std::exchange(notices_, {}); }
    // Why records cannot be kept or numbered now, when they cannot.
    const std::optional<Failure>& LogFailure() const { return log_failure_; }

  private:
    bool NumberingKnown() const;
    bool ReadBatch(DeliveryBatch& batch);
    bool Numbered(std::uint64_t entry, CentralRecord& central) const;

    FileLayer& files_;
    RecordJournal* journal_ = nullptr;
    DatabaseTarget target_;
    std::optional<Numbering> numbering_;
    std::uint64_t committed_ = 0;  // every record up to this log entry is committed
    std::size_t waiting_ = 0;      // records in the log not yet committed
    // Where the first record not committed may begin, and where the next batch is read from.
    std::uint64_t committed_at_ = 0;
    std::uint64_t read_at_ = 0;
    struct Handed {
        std::uint64_t lastEntry = 0;
        std::uint64_t endAt = 0;  // where the log goes on after its last record
    };
    std::optional<Handed> handed_;
    std::optional<Failure> log_failure_;
    std::vector<Failure> notices_;
};

// "Orvane.journal" kept its records for the database in "Orvane.outbox" in earlier programs.
std::string OutboxPathFor(const std::string& journalPath);

}  // namespace brisolant
