#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"

namespace brisolant {

// A record line that is now on the disk, and the file that holds it.
struct WrittenRecord {
    std::string path;
    std::string line;
    std::uint64_t offset = 0;  // where the line starts in the file

    bool operator==(const WrittenRecord&) const = default;
};

// How the scans on their way to their files stand.
struct WriterStatus {
    std::size_t waiting = 0;         // scans not in their files yet
    std::optional<Failure> cause;    // why they wait; none while they are simply on their way
    std::optional<Failure> journal;  // why the journal cannot keep them

    bool Troubled() const { return cause.has_value() || journal.has_value(); }
};

bool SameStatus(const WriterStatus& a, const WriterStatus& b);

// The failure that panel 1 shows for a status, when it has one: a journal that cannot keep the
// scans first (they are lost if the program ends), then why they wait, with their count.
std::optional<Failure> StatusFailure(const WriterStatus& status);

// How the records for the site's database stand. The two figures are what a site's monitoring
// reads: records waiting for the database, and records it has committed in this run.
struct DatabaseStatus {
    std::size_t waiting = 0;            // kept for the database and not known to be committed
    std::uint64_t delivered = 0;        // committed since the program started
    std::optional<std::string> reason;  // why they wait, in the database's words
    std::optional<Failure> outbox;      // why the outbox cannot keep them

    bool operator==(const DatabaseStatus& other) const;
};

// The failure that panel 1 shows for the database, when it has one: an outbox that cannot keep
// the records first, then why they wait, with their count.
std::optional<Failure> DatabaseFailure(const DatabaseStatus& status);

// What the writer has to tell the window since it was last asked.
struct WriterNews {
    std::vector<WrittenRecord> written;  // oldest first
    std::vector<Failure> notices;  // once each: the journal damaged, unreadable; a scan refused
    std::optional<WriterStatus> status;      // the latest, when it changed
    std::size_t queued = 0;                  // scans not yet in their files when this was told
    std::uint64_t received = 0;              // scans handed over to the writer until then
    std::optional<DatabaseStatus> database;  // the latest, when it changed

    bool Empty() const { return written.empty() && notices.empty() && !status && !database; }
    // Adds `later` behind what this holds.
    void Append(WriterNews later);
};

}  // namespace brisolant
