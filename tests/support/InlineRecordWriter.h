#pragma once

// A writer that does the disk work on the caller's thread, before each call returns, so that
// tests see each step at once. The real writer's store and appender do the work.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "store/FileLayer.h"
#include "store/RecordStore.h"
#include "store/RecordWriter.h"

namespace brisolant::test {

class InlineRecordWriter : public RecordWriter {
  public:
    InlineRecordWriter(FileLayer& files, const Clock& clock);

    void Start(const std::string& journalPath) override;
    void SetDestination(Destination destination) override;
    void SetDatabase(DatabaseTarget target) override { database = std::move(target); }
    using RecordWriter::Submit;
    void Submit(std::string fileName, std::string line,
                std::optional<CentralRecord> central) override;
    WriterNews TakeNews() override { return store_.TakeNews(); }
    StopOutcome Stop(std::chrono::milliseconds patience) override;

    // The time to try again has come (the real writer keeps it itself).
    void Retry();
    bool WaitingForRetry() const { return store_.WaitingForRetry(); }
    std::size_t Count() const { return store_.Count(); }

    // Called whenever there is news, as the real writer wakes the window's thread.
    std::function<void()> newsWaiting;
    // What the recorder named and handed over for the database (this writer delivers nothing).
    DatabaseTarget database;
    std::vector<CentralRecord> central;

  private:
    void Drive();

    FileLayer& files_;
    RecordStore store_;
};

}  // namespace brisolant::test
