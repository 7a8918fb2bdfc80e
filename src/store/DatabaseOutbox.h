#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "store/CentralRecord.h"
#include "store/FileLayer.h"

namespace brisolant {

// The records on their way to the site's database, kept in a file beside the journal
// ("Orvane.outbox") from before their lines are written until the database has committed them,
// and the numbers they get: each record's number is one more than any the station gave before,
// in this run or an earlier one, so the file keeps the next number even when nothing waits.
// Lives on the writer's thread.
class DatabaseOutbox {
  public:
    // Beyond this size, an outbox with nothing waiting is written afresh.
    static constexpr std::uint64_t kCompactAfter = 1024 * 1024;

    DatabaseOutbox(FileLayer& files, std::string path);

    const std::string& path() const { return path_; }

    // Reads what an earlier run kept and returns it, oldest first. Throws
    // Failure(DatabaseOutboxRead); then nothing is written to the file, whose records are left
    // for the operator, and records are numbered from what the database holds.
    std::deque<CentralRecord> Open();
    // Notices of the opening: damaged records lost.
    std::vector<Failure> TakeNotices() { return std::exchange(notices_, {}); }

    // Numbers the records and keeps them, synced. Throws Failure(DatabaseOutboxWrite); the
    // records are numbered all the same, and are delivered while the program runs.
    void Keep(std::vector<CentralRecord>& records);
    // The database has committed every record up to `seq`. The mark is not synced: a mark lost
    // only sends records again, which the database skips. Throws Failure(DatabaseOutboxWrite).
    void Committed(std::uint64_t seq);
    // The database holds numbers up to `seq` for the station: new records go above them.
    void NumberAbove(std::uint64_t seq);

    std::size_t Waiting() const { return waiting_.size(); }
    std::uint64_t NextSeq() const { return next_seq_; }

  private:
    void Append(const std::string& records, bool sync);
    void WriteAfresh(const std::deque<CentralRecord>& waiting);

    FileLayer& files_;
    std::string path_;
    bool usable_ = false;
    std::deque<std::uint64_t> waiting_;  // numbers kept and not known to be committed
    std::uint64_t next_seq_ = 1;
    std::uint64_t size_ = 0;  // of the file, as far as the program wrote it
    std::vector<Failure> notices_;
};

// "Orvane.journal" keeps its records for the database in "Orvane.outbox".
std::string OutboxPathFor(const std::string& journalPath);

}  // namespace brisolant
