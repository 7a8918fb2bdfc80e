#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "store/CentralRecord.h"
#include "store/DatabaseSession.h"
#include "store/RecordStore.h"
#include "store/WriterNews.h"

namespace brisolant {

struct StopOutcome {
    std::size_t unwritten = 0;  // scans not in their files when the writer stopped
    std::size_t unkept = 0;     // of those, the ones the journal could not keep either
    // The writer's thread did not answer in time (stuck in a call to the journal's disk): what
    // it had not yet kept is not known.
    bool writerHung = false;
    // Records kept for the database and not yet committed there.
    std::size_t databaseWaiting = 0;
};

// The writer of record lines as the window's thread sees it: lines are handed over in order,
// and what became of them comes back as news.
class RecordWriter {
  public:
    virtual ~RecordWriter() = default;
    // Takes the scans kept in the journal at `journalPath`; they go before any new one.
    virtual void Start(const std::string& journalPath) = 0;
    virtual void SetDestination(Destination destination) = 0;
    // The site's database, when the settings name one; records go there too from now on.
    virtual void SetDatabase(DatabaseTarget target) = 0;
    // Hands a finished record line over; it is written behind every line handed over before it,
    // and, when a database is named, its record is delivered there.
    virtual void Submit(std::string fileName, std::string line,
                        std::optional<CentralRecord> central) = 0;
    void Submit(std::string fileName, std::string line) {
        Submit(std::move(fileName), std::move(line), std::nullopt);
    }
    virtual WriterNews TakeNews() = 0;
    // Gives the writer up to `patience` to write what waits, then keeps the rest in the journal
    // and stops.
    virtual StopOutcome Stop(std::chrono::milliseconds patience) = 0;
};

}  // namespace brisolant
