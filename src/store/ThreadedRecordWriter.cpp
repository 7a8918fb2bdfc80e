#include "store/ThreadedRecordWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "store/DataFileAppender.h"
#include "store/DatabaseDelivery.h"
#include "store/DatabaseSink.h"

namespace brisolant {

using SteadyClock = std::chrono::steady_clock;

// A record line handed over, with its record for the database when one is named.
struct SubmittedScan {
    std::string fileName;
    std::string line;
    std::optional<CentralRecord> central;
};

// What the writer's thread takes out of the mailbox in one turn. Each field names the thread
// that puts it there; the writer's thread alone takes it.
struct Turn {
    std::deque<SubmittedScan> scans;         // the window's thread (Submit)
    std::optional<Destination> destination;  // the window's thread (SetDestination)
    std::optional<DatabaseTarget> database;  // the window's thread (SetDatabase)
    std::optional<std::pair<std::size_t, std::uint64_t>> opened;  // the appender (its gate)
    std::optional<AppendOutcome> done;                            // the appender
    std::vector<DeliveryReport> deliveries;                       // the delivery

    bool Empty() const {
        return scans.empty() && !destination && !database && !opened && !done && deliveries.empty();
    }
};

// Everything the threads hand each other, under one lock. Nothing else is shared: the store and
// the outbox live on the writer's thread, the data-file calls on the appender's, the database's
// connection on the delivery's. On a scan's path a thread is woken after the lock is let go, so
// that it does not wake only to wait for the lock.
struct WriterMailbox {
    std::mutex mutex;
    std::condition_variable writerWake;
    std::condition_variable appenderWake;
    std::condition_variable stoppedWake;
    std::condition_variable deliveryWake;

    // For the writer: its next turn (see Turn), and the time to stop by, which stays once
    // asked (the window's thread writes it).
    Turn forWriter;
    std::optional<SteadyClock::time_point> stopBy;
    // For the delivery, from the writer: the target and the next batch; the delivery takes
    // them. `delivering` is the delivery's: a call to the database is under way.
    std::optional<DatabaseTarget> deliveryTarget;
    std::optional<DeliveryBatch> toDeliver;
    bool delivering = false;
    // For the appender, from the writer: the task and the gate's answer; the appender takes
    // them. `appending` is the appender's: a task's file calls are under way.
    std::optional<AppendTask> task;
    std::optional<bool> go;
    bool appending = false;
    // The writer's, for the appender and the delivery: end now.
    bool quit = false;
    // Heartbeats asked by the window's thread and answered by the writer's.
    std::uint64_t beatsAsked = 0;
    std::uint64_t beatsAnswered = 0;
    // The window's thread's: the writer was given up as stuck and may outlive its owner, so it
    // wakes nobody.
    bool abandoned = false;
    // The writer's, read by the window's thread: whether a new scan must wake the writer. Not
    // while a batch is being written at its usual pace, since the writer takes every scan that
    // queued meanwhile when the batch is done; but once the batch takes long, each scan is to go
    // into the journal as it comes.
    bool wantsScans = true;
    // The writer's, for the window's thread.
    WriterNews news;
    std::optional<StopOutcome> stopped;
};

namespace {

// The writer's thread: owns the store and the database's side of the log, answers the
// appender and the delivery, keeps the times.
class WriterLoop {
  public:
    WriterLoop(WriterMailbox& box, FileLayer& files, const Clock& clock, WriterWakeup& wakeup,
               WriterTiming timing)
        : box_(box), store_(files, clock), sink_(files), wakeup_(wakeup), timing_(timing) {}

    void Run(const std::string& journalPath) {
        sink_.Open(store_.Journal(), store_.OpenJournal(journalPath));
        std::uint64_t next = store_.NextSeq();
        sink_.TakeOutbox(OutboxPathFor(journalPath), next, next);
        store_.SetNextSeq(next);
        store_.SetKeepJournal(sink_.HoldsAnything());
        for (;;) {
            Turn turn = Wait();
            Take(std::move(turn));
            const SteadyClock::time_point now = SteadyClock::now();
            KeepTime(now);
            if (stopBy_ && Finished(now)) {
                Stop();
                return;
            }
            Dispatch(now);
            EndTurn(now);
        }
    }

  private:
    Turn Wait() {
        std::unique_lock lock(box_.mutex);
        const auto ready = [this] {
            return !box_.forWriter.Empty() || (box_.stopBy && !stopBy_) ||
                   box_.beatsAsked != box_.beatsAnswered;
        };
        box_.wantsScans = !store_.Busy() || long_told_ || stopBy_.has_value();
        if (const std::optional<SteadyClock::time_point> deadline = Deadline()) {
            box_.writerWake.wait_until(lock, *deadline, ready);
        } else {
            box_.writerWake.wait(lock, ready);
        }
        box_.beatsAnswered = box_.beatsAsked;
        stopBy_ = box_.stopBy;
        return std::exchange(box_.forWriter, {});
    }

    std::optional<SteadyClock::time_point> Deadline() const {
        std::optional<SteadyClock::time_point> deadline = stopBy_;
        const auto sooner = [&](SteadyClock::time_point at) {
            if (!deadline || at < *deadline) {
                deadline = at;
            }
        };
        if (store_.Busy() && !long_told_) {
            sooner(task_start_ + timing_.journalBehindAfter);
        }
        if (store_.Busy() && !slow_told_) {
            sooner(task_start_ + timing_.slowAfter);
        }
        if (retry_at_) {
            sooner(*retry_at_);
        }
        if (QuietDatabaseDue()) {
            sooner(*db_heard_ + timing_.databaseQuietAfter);
        }
        return deadline;
    }

    void Take(Turn turn) {
        if (turn.destination) {
            store_.SetDestination(std::move(*turn.destination));
        }
        if (turn.database) {
            SetDatabase(std::move(*turn.database));
        }
        for (const DeliveryReport& report : turn.deliveries) {
            TakeDelivery(report);
        }
        // A turn's scans go into the journal, when they must, in one append and one sync.
        for (SubmittedScan& scan : turn.scans) {
            std::optional<CentralRecord> central;
            if (sink_.Named()) {
                central = std::move(scan.central);
            }
            if (!store_.Add(std::move(scan.fileName), std::move(scan.line), std::move(central),
                            true)) {
                refused_ = true;
            }
        }
        if (!turn.scans.empty()) {
            store_.KeepArrivals();
        }
        if (turn.opened) {
            const bool go = store_.BeginWrite(turn.opened->first, turn.opened->second);
            {
                std::lock_guard lock(box_.mutex);
                box_.go = go;
            }
            box_.appenderWake.notify_one();
        }
        if (turn.done) {
            store_.TaskDone(*turn.done);
        }
    }

    // Fires the timers that are due; EndTurn sets them again.
    void KeepTime(SteadyClock::time_point now) {
        if (store_.Busy() && !slow_told_ && now >= task_start_ + timing_.slowAfter) {
            slow_told_ = long_told_ = true;
            store_.TaskSlow(Failure(FailureCode::DataFolderNotAnswering, task_path_));
        } else if (store_.Busy() && !long_told_ &&
                   now >= task_start_ + timing_.journalBehindAfter) {
            long_told_ = true;
            store_.TaskRunsLong();
        }
        if (retry_at_ && now >= *retry_at_) {
            retry_at_.reset();
            store_.RetryDue();
        }
        if (QuietDatabaseDue() && now >= *db_heard_ + timing_.databaseQuietAfter) {
            db_status_.reason = "no answer from the database for " + Seconds(now - *db_heard_);
        }
    }

    // Records wait, and the database has said nothing about them for a while (a statement that
    // hangs, a connection that never completes) while no other reason is known.
    bool QuietDatabaseDue() const { return db_heard_ && !db_status_.reason; }

    static std::string Seconds(SteadyClock::duration waited) {
        return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(waited).count()) +
               " s";
    }

    // Stopping waits for nothing that cannot come: scans waiting for a folder that is away are
    // kept at once.
    bool Finished(SteadyClock::time_point now) const {
        return store_.Count() == 0 || (!store_.Busy() && store_.WaitingForRetry()) ||
               now >= *stopBy_;
    }

    void Dispatch(SteadyClock::time_point now) {
        if (store_.Busy()) {
            return;
        }
        std::optional<AppendTask> task = store_.NextTask();
        if (!task) {
            return;
        }
        task_path_ = task->Path();
        task_start_ = now;
        slow_told_ = long_told_ = false;
        {
            std::lock_guard lock(box_.mutex);
            box_.task = std::move(task);
        }
        box_.appenderWake.notify_one();
    }

    // What every turn ends with, whatever it did: the database's side learns what the log
    // took and hands the delivery its next batch, the log is kept short, the retry is set
    // again while scans wait for it, and the news goes out.
    void EndTurn(SteadyClock::time_point now) {
        TakeLogged();
        HandBatch();
        CompactLog();
        // The database's silence is timed from when records began to wait, or it last spoke.
        const bool waiting = sink_.Named() && sink_.Waiting() + store_.Unjournaled() > 0;
        if (!waiting) {
            db_heard_.reset();
        } else if (!db_heard_) {
            db_heard_ = now;
        }
        if (!store_.WaitingForRetry()) {
            retry_at_.reset();
        } else if (!retry_at_) {
            retry_at_ = now + timing_.retryAfter;
        }
        Publish(TakeNews());
    }

    void Stop() {
        const std::size_t unkept = store_.KeepAll();
        const std::size_t unwritten = store_.Count();
        TakeLogged();
        Publish(TakeNews());
        std::lock_guard lock(box_.mutex);
        box_.quit = true;
        box_.appenderWake.notify_one();
        box_.deliveryWake.notify_one();
        box_.stopped = StopOutcome{unwritten, unkept, false, sink_.Waiting()};
        box_.stoppedWake.notify_all();
    }

    void SetDatabase(DatabaseTarget target) {
        sink_.SetTarget(target);
        store_.SetLogEverything(sink_.Named());
        store_.SetKeepJournal(sink_.Named() || sink_.HoldsAnything());
        std::lock_guard lock(box_.mutex);
        box_.deliveryTarget = std::move(target);
        box_.deliveryWake.notify_one();
    }

    void TakeDelivery(const DeliveryReport& report) {
        if (report.givenBack) {
            sink_.GivenBack();
            batch_out_ = false;
        }
        if (report.committedEntry) {
            sink_.Committed(*report.committedEntry, report.delivered);
            db_status_.delivered += report.delivered;
            batch_out_ = false;
        }
        if (report.lastSeq) {
            sink_.TableHolds(report.station, *report.lastSeq, store_.NextSeq());
        }
        db_status_.reason = report.trouble;
        if (db_heard_) {
            db_heard_ = SteadyClock::now();
        }
    }

    void TakeLogged() {
        sink_.Logged(store_.TakeNewTableEntries());
        if (const std::size_t unlogged = store_.TakeUnloggedTableEntries()) {
            unlogged_ += unlogged;
            notices_.push_back(Failure(FailureCode::DatabaseOutboxWrite,
                                       std::to_string(unlogged_) +
                                           " records in this run are written to their data files "
                                           "without being kept for the database"));
        }
        if (sink_.HoldsAnything()) {
            store_.SetKeepJournal(true);
        }
    }

    void HandBatch() {
        if (batch_out_) {
            return;
        }
        std::optional<DeliveryBatch> batch = sink_.NextBatch();
        if (!batch) {
            return;
        }
        batch_out_ = true;
        {
            std::lock_guard lock(box_.mutex);
            box_.toDeliver = std::move(batch);
        }
        box_.deliveryWake.notify_one();
    }

    // While the log is the station's, it is never emptied: once what neither side needs any
    // more is most of it, it is written afresh from the first entry either side still needs.
    void CompactLog() {
        RecordJournal* journal = store_.Journal();
        if (journal == nullptr || !sink_.HoldsAnything()) {
            return;
        }
        std::uint64_t from = journal->Size();
        for (const std::optional<std::uint64_t> at :
             {store_.FirstWaitingAt(), sink_.FirstWaitingAt()}) {
            if (at) {
                from = std::min(from, *at);
            }
        }
        if (from < kCompactAfter || from < journal->Size() / 2) {
            return;
        }
        try {
            journal->Compact(from, sink_.Trailer(store_.NextSeq()));
        } catch (const Failure& failure) {
            // It stays as long as it is and is tried again after the next entries.
            (void)failure;
            return;
        }
        store_.JournalCompacted(from);
        sink_.Compacted(from);
    }

    WriterNews TakeNews() {
        WriterNews news = store_.TakeNews();
        for (Failure& notice : std::exchange(notices_, {})) {
            news.notices.push_back(std::move(notice));
        }
        for (Failure& notice : sink_.TakeNotices()) {
            news.notices.push_back(std::move(notice));
        }
        if (sink_.Named() || sink_.Waiting() > 0) {
            db_status_.waiting = sink_.Waiting() + (sink_.Named() ? store_.Unjournaled() : 0);
            db_status_.outbox = sink_.LogFailure();
            if (!reported_db_ || !(*reported_db_ == db_status_)) {
                reported_db_ = db_status_;
                news.database = db_status_;
            }
        }
        return news;
    }

    void Publish(WriterNews news) {
        if (std::exchange(refused_, false)) {
            news.notices.push_back(Failure(FailureCode::JournalFull));
        }
        // Under the lock, so that a writer given up never wakes an owner that has gone.
        std::lock_guard lock(box_.mutex);
        const bool wake = box_.news.Empty() && !news.Empty();
        box_.news.Append(std::move(news));
        if (wake && !box_.abandoned) {
            wakeup_.NewsWaiting();
        }
    }

    // Beyond this size a log is written afresh once most of it is of no more use.
    static constexpr std::uint64_t kCompactAfter = 1024 * 1024;

    WriterMailbox& box_;
    RecordStore store_;
    DatabaseSink sink_;
    WriterWakeup& wakeup_;
    WriterTiming timing_;
    std::optional<SteadyClock::time_point> stopBy_;
    std::optional<SteadyClock::time_point> retry_at_;
    SteadyClock::time_point task_start_;
    std::string task_path_;
    bool slow_told_ = false;
    bool long_told_ = false;
    bool refused_ = false;
    bool batch_out_ = false;  // the delivery holds a batch
    // While records wait for the database: when it last said something (or they began to wait).
    std::optional<SteadyClock::time_point> db_heard_;
    std::size_t unlogged_ = 0;
    DatabaseStatus db_status_;
    std::optional<DatabaseStatus> reported_db_;
    std::vector<Failure> notices_;
};

// The appender's thread: runs each task's data-file calls, and asks the writer before a byte is
// written.
void AppendLoop(const std::shared_ptr<WriterMailbox>& box, FileLayer& files) {
    for (;;) {
        AppendTask task;
        {
            std::unique_lock lock(box->mutex);
            box->appenderWake.wait(lock, [&] { return box->task || box->quit; });
            if (box->quit) {
                return;
            }
            task = std::move(*std::exchange(box->task, std::nullopt));
            box->appending = true;
        }
        AppendOutcome outcome =
            RunAppendTask(task, files, [&](std::size_t first, std::uint64_t offset) {
                std::unique_lock lock(box->mutex);
                box->go.reset();
                box->forWriter.opened.emplace(first, offset);
                lock.unlock();
                box->writerWake.notify_one();
                lock.lock();
                box->appenderWake.wait(lock, [&] { return box->go || box->quit; });
                return !box->quit && *std::exchange(box->go, std::nullopt);
            });
        {
            std::lock_guard lock(box->mutex);
            box->appending = false;
            box->forWriter.done = std::move(outcome);
        }
        box->writerWake.notify_one();
    }
}

// The delivery's thread: owns the connection to the database and sends the batch the writer
// hands it, in one statement; after a failure it waits before the next try. It connects as soon
// as it has a target, so that the writer learns the table's highest number.
void DeliveryLoop(const std::shared_ptr<WriterMailbox>& box,
                  std::unique_ptr<DatabaseSession> session) {
    DatabaseDelivery delivery(std::move(session));
    // No sooner than this is the next try made: the epoch (long past) once nothing failed.
    SteadyClock::time_point nextTry{};
    for (;;) {
        bool givenBack = false;
        {
            std::unique_lock lock(box->mutex);
            const auto news = [&] { return box->quit || box->deliveryTarget || box->toDeliver; };
            if (!delivery.HasWork()) {
                box->deliveryWake.wait(lock, news);
            } else if (SteadyClock::now() < nextTry) {
                box->deliveryWake.wait_until(lock, nextTry, news);
            }
            if (box->quit) {
                return;
            }
            if (box->deliveryTarget) {
                givenBack = delivery.SetTarget(
                    std::move(*std::exchange(box->deliveryTarget, std::nullopt)));
                nextTry = {};
            }
            if (box->toDeliver) {
                delivery.Take(std::move(*std::exchange(box->toDeliver, std::nullopt)));
            }
            if (givenBack) {
                DeliveryReport report;
                report.givenBack = true;
                box->forWriter.deliveries.push_back(std::move(report));
                box->writerWake.notify_one();
            }
            if (!delivery.HasWork() || SteadyClock::now() < nextTry) {
                continue;
            }
            box->delivering = true;
        }
        DeliveryReport report = delivery.Attempt();
        nextTry = {};
        if (report.trouble) {
            nextTry = SteadyClock::now() + delivery.Pause();
        }
        {
            std::lock_guard lock(box->mutex);
            box->delivering = false;
            box->forWriter.deliveries.push_back(std::move(report));
        }
        box->writerWake.notify_one();
    }
}

}  // namespace

ThreadedRecordWriter::ThreadedRecordWriter(FileLayer& files, const Clock& clock,
                                           WriterWakeup& wakeup, WriterTiming timing,
                                           DatabaseSessionMaker makeSession)
    : files_(files),
      clock_(clock),
      wakeup_(wakeup),
      timing_(timing),
      make_session_(std::move(makeSession)),
      mailbox_(std::make_shared<WriterMailbox>()) {}

ThreadedRecordWriter::~ThreadedRecordWriter() {
    if (writer_.joinable()) {
        (void)Stop(std::chrono::milliseconds(0));
    }
    if (writer_.joinable()) {
        // Stuck for good: the program ends around it.
        {
            std::lock_guard lock(mailbox_->mutex);
            mailbox_->abandoned = true;
            mailbox_->quit = true;
            mailbox_->appenderWake.notify_one();
            mailbox_->deliveryWake.notify_one();
        }
        writer_.detach();
        appender_.detach();
        if (delivery_.joinable()) {
            delivery_.detach();
        }
    }
}

void ThreadedRecordWriter::Start(const std::string& journalPath) {
    writer_ = std::thread(
        [box = mailbox_, &files = files_, &clock = clock_, &wakeup = wakeup_, timing = timing_,
         journalPath] { WriterLoop(*box, files, clock, wakeup, timing).Run(journalPath); });
    appender_ = std::thread([box = mailbox_, &files = files_] { AppendLoop(box, files); });
    if (make_session_) {
        delivery_ = std::thread([box = mailbox_, session = make_session_()]() mutable {
            DeliveryLoop(box, std::move(session));
        });
    }
}

void ThreadedRecordWriter::SetDatabase(DatabaseTarget target) {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->forWriter.database = std::move(target);
    mailbox_->writerWake.notify_one();
}

void ThreadedRecordWriter::SetDestination(Destination destination) {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->forWriter.destination = std::move(destination);
    mailbox_->writerWake.notify_one();
}

void ThreadedRecordWriter::Submit(std::string fileName, std::string line,
                                  std::optional<CentralRecord> central) {
    bool wake = false;
    {
        std::lock_guard lock(mailbox_->mutex);
        wake = mailbox_->wantsScans && mailbox_->forWriter.scans.empty();
        mailbox_->forWriter.scans.push_back(
            {std::move(fileName), std::move(line), std::move(central)});
    }
    if (wake) {
        mailbox_->writerWake.notify_one();
    }
}

WriterNews ThreadedRecordWriter::TakeNews() {
    std::lock_guard lock(mailbox_->mutex);
    return std::exchange(mailbox_->news, {});
}

bool ThreadedRecordWriter::Heartbeat() {
    std::lock_guard lock(mailbox_->mutex);
    const bool answered = mailbox_->beatsAnswered == mailbox_->beatsAsked;
    ++mailbox_->beatsAsked;
    mailbox_->writerWake.notify_one();
    return answered;
}

StopOutcome ThreadedRecordWriter::Stop(std::chrono::milliseconds patience) {
    if (!writer_.joinable()) {
        return {};
    }
    bool appending = false;
    bool delivering = false;
    StopOutcome outcome;
    {
        std::unique_lock lock(mailbox_->mutex);
        const SteadyClock::time_point stopBy = SteadyClock::now() + patience;
        if (!stopped_) {
            mailbox_->stopBy = stopBy;
            mailbox_->writerWake.notify_one();
        }
        stopped_ = true;
        if (!mailbox_->stoppedWake.wait_until(lock, stopBy + timing_.stopGrace,
                                              [this] { return mailbox_->stopped.has_value(); })) {
            return StopOutcome{0, 0, true};
        }
        outcome = *mailbox_->stopped;
        appending = mailbox_->appending;
        delivering = mailbox_->delivering;
    }
    writer_.join();
    // A data-file call that hangs keeps its thread; the journal already holds what it writes,
    // and the thread ends with the program.
    if (appending) {
        appender_.detach();
    } else {
        appender_.join();
    }
    // So does a call to a database that does not answer; the outbox keeps what it sends, and
    // the next start sends it again.
    if (delivery_.joinable() && delivering) {
        delivery_.detach();
    } else if (delivery_.joinable()) {
        delivery_.join();
    }
    return outcome;
}

}  // namespace brisolant
