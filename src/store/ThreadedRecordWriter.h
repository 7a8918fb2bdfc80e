#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "common/Clock.h"
#include "store/DatabaseSession.h"
#include "store/FileLayer.h"
#include "store/RecordStore.h"
#include "store/RecordWriter.h"

namespace brisolant {

// Tells the window's thread that the writer has news for it. Called on the writer's thread, so
// it must only hand the word over (a queued call), never touch the window itself.
class WriterWakeup {
  public:
    virtual ~WriterWakeup() = default;
    virtual void NewsWaiting() = 0;
};

struct WriterTiming {
    // A write that has not finished by then is taken for a hung disk: every scan not in its
    // file goes into the journal meanwhile.
    std::chrono::milliseconds slowAfter{500};
    // How long scans that could not be written wait before the next try (a new scan tries at
    // once).
    std::chrono::milliseconds retryAfter{2000};
    // A write still running by then takes longer than a working disk needs: the scans behind it
    // go into the journal as they come, so that a crash or power cut meanwhile loses none. A
    // write that ends sooner takes the scans queued meanwhile into its next batch unjournaled.
    std::chrono::milliseconds journalBehindAfter{50};
    // How long a stop waits beyond its patience for the writer's thread, which may be stuck in a
    // call to the journal's disk, before it gives the thread up.
    std::chrono::milliseconds stopGrace{2000};
    // Records that wait this long with no word from the database are said to wait for it, long
    // before the client gives a statement up.
    std::chrono::milliseconds databaseQuietAfter{5000};
};

// What the window's, the writer's and the appender's threads hand each other, under one mutex.
struct WriterMailbox;

// Writes record lines on threads of its own, so that neither the line nor the window ever
// waits for a disk. Its thread owns the queue and the journal and writes the lines that queued
// while the previous write ran together, one sync per file; a second thread does the data-file
// calls, so that a data folder that hangs holds up neither the journal nor the scans behind it.
// With a database named, the writer's thread keeps each record in the outbox before its line is
// written, and a third thread, with a connection of its own, delivers what the outbox holds.
class ThreadedRecordWriter : public RecordWriter {
  public:
    // Without `makeSession` no database is ever reached.
    ThreadedRecordWriter(FileLayer& files, const Clock& clock, WriterWakeup& wakeup,
                         WriterTiming timing = {}, DatabaseSessionMaker makeSession = {});
    ~ThreadedRecordWriter() override;
    ThreadedRecordWriter(const ThreadedRecordWriter&) = delete;
    ThreadedRecordWriter& operator=(const ThreadedRecordWriter&) = delete;

    // Starts the threads; the scans kept in the journal at `journalPath` go first.
    void Start(const std::string& journalPath) override;
    void SetDestination(Destination destination) override;
    void SetDatabase(DatabaseTarget target) override;
    using RecordWriter::Submit;
    void Submit(std::string fileName, std::string line,
                std::optional<CentralRecord> central) override;
    WriterNews TakeNews() override;
    // What is still written after the stop is not reported. A writer's thread that has not
    // stopped by the patience and the grace after it is given up (writerHung): its threads are
    // left to end with the program, and a later Stop waits for them again.
    StopOutcome Stop(std::chrono::milliseconds patience) override;

    // A heartbeat for a watchdog: asks the writer's thread to answer at its next turn, and tells
    // whether it answered the ask before. A thread stuck in a call to the journal's disk never
    // answers; one waiting for a data folder that hangs does, since that call runs on a thread
    // of its own.
    bool Heartbeat();

  private:
    FileLayer& files_;
    const Clock& clock_;
    WriterWakeup& wakeup_;
    WriterTiming timing_;
    DatabaseSessionMaker make_session_;
    std::shared_ptr<WriterMailbox> mailbox_;
    std::thread writer_;
    std::thread appender_;
    std::thread delivery_;
    bool stopped_ = false;
};

}  // namespace brisolant
