#include "store/ThreadedRecordWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "store/DataFileAppender.h"
#include "store/DatabaseDelivery.h"
#include "store/DatabaseOutbox.h"

namespace brisolant {

using SteadyClock = std::chrono::steady_clock;

// A record line handed over, with its record for the database when one is named.
struct SubmittedScan {
    std::string fileName;
    std::string line;
    std::optional<CentralRecord> central;
};

// What the writer's thread takes out of the mailbox in one turn.
struct Turn {
    // From the window's thread.
    std::deque<SubmittedScan> scans;
    std::optional<Destination> destination;
    std::optional<DatabaseTarget> database;
    // From the appender.
    std::optional<std::pair<std::size_t, std::uint64_t>> opened;
    std::optional<AppendOutcome> done;
    // From the delivery.
    std::vector<DeliveryReport> deliveries;

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

    // For the writer: its next turn, and the time to stop by, which stays once asked.
    Turn forWriter;
    std::optional<SteadyClock::time_point> stopBy;
    // For the delivery, from the writer.
    std::optional<DatabaseTarget> deliveryTarget;
    std::deque<CentralRecord> toDeliver;
    bool delivering = false;  // a call to the database is under way
    // For the appender, from the writer.
    std::optional<AppendTask> task;
    std::optional<bool> go;
    bool quit = false;
    bool appending = false;
    // Heartbeats asked by the window's thread and answered by the writer's.
    std::uint64_t beatsAsked = 0;
    std::uint64_t beatsAnswered = 0;
    // The writer was given up as stuck and may outlive its owner: it wakes nobody.
    bool abandoned = false;
    // Whether a new scan must wake the writer: not while a batch is being written at its usual
    // pace, since the writer takes every scan that queued meanwhile when the batch is done; but
    // once the batch takes long, each scan is to go into the journal as it comes.
    bool wantsScans = true;
    // For the window's thread.
    WriterNews news;
    std::optional<StopOutcome> stopped;
};

namespace {

// The writer's thread: owns the store, answers the appender, keeps the times.
class WriterLoop {
  public:
    WriterLoop(WriterMailbox& box, FileLayer& files, const Clock& clock, WriterWakeup& wakeup,
               WriterTiming timing)
        : box_(box), files_(files), store_(files, clock), wakeup_(wakeup), timing_(timing) {}

    void Run(const std::string& journalPath) {
        journal_path_ = journalPath;
        store_.OpenJournal(journalPath);
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
            Publish(TakeNews());
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
        std::vector<CentralRecord> central;
        for (SubmittedScan& scan : turn.scans) {
            if (!store_.Add(std::move(scan.fileName), std::move(scan.line))) {
                refused_ = true;
            } else if (scan.central && outbox_ && !database_.connection.empty()) {
                scan.central->station = database_.station;
                central.push_back(std::move(*scan.central));
            }
        }
        // Kept before the lines are written: a line in its file always has its record kept.
        KeepForDatabase(std::move(central));
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

    void KeepTime(SteadyClock::time_point now) {
        if (store_.Busy() && !slow_told_ && now >= task_start_ + timing_.slowAfter) {
            slow_told_ = long_told_ = true;
            store_.TaskSlow(Failure(FailureCode::DataFolderNotAnswering, task_path_));
        } else if (store_.Busy() && !long_told_ &&
                   now >= task_start_ + timing_.journalBehindAfter) {
            long_told_ = true;
            store_.TaskRunsLong();
        }
        if (!store_.WaitingForRetry()) {
            retry_at_.reset();
        } else if (!retry_at_) {
            retry_at_ = now + timing_.retryAfter;
        } else if (now >= *retry_at_) {
            retry_at_.reset();
            store_.RetryDue();
        }
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

    void Stop() {
        const std::size_t unkept = store_.KeepAll();
        const std::size_t unwritten = store_.Count();
        Publish(TakeNews());
        std::lock_guard lock(box_.mutex);
        box_.quit = true;
        box_.appenderWake.notify_one();
        box_.deliveryWake.notify_one();
        box_.stopped = StopOutcome{unwritten, unkept, false};
        box_.stoppedWake.notify_all();
    }

    // The outbox is opened when a database is first named, and the records it kept go first.
    void SetDatabase(DatabaseTarget target) {
        database_ = std::move(target);
        std::deque<CentralRecord> kept;
        if (!database_.connection.empty() && !outbox_) {
            outbox_.emplace(files_, OutboxPathFor(journal_path_));
            try {
                kept = outbox_->Open();
            } catch (const Failure& failure) {
                db_status_.outbox = failure;
                notices_.push_back(failure);
            }
            for (Failure& notice : outbox_->TakeNotices()) {
                notices_.push_back(std::move(notice));
            }
        }
        std::lock_guard lock(box_.mutex);
        box_.deliveryTarget = database_;
        box_.toDeliver.insert(box_.toDeliver.end(), std::make_move_iterator(kept.begin()),
                              std::make_move_iterator(kept.end()));
        box_.deliveryWake.notify_one();
    }

    void KeepForDatabase(std::vector<CentralRecord> records) {
        if (records.empty()) {
            return;
        }
        try {
            outbox_->Keep(records);
            if (db_status_.outbox &&
                db_status_.outbox->code() == FailureCode::DatabaseOutboxWrite) {
                db_status_.outbox.reset();
            }
        } catch (const Failure& failure) {
            db_status_.outbox = failure;
        }
        std::lock_guard lock(box_.mutex);
        box_.toDeliver.insert(box_.toDeliver.end(), std::make_move_iterator(records.begin()),
                              std::make_move_iterator(records.end()));
        box_.deliveryWake.notify_one();
    }

    void TakeDelivery(const DeliveryReport& report) {
        if (!outbox_) {
            return;
        }
        if (report.lastSeq) {
            outbox_->NumberAbove(*report.lastSeq);
        }
        if (report.committedThrough) {
            db_status_.delivered += report.delivered;
            try {
                outbox_->Committed(*report.committedThrough);
            } catch (const Failure& failure) {
                // A lost mark only sends the records again, and the database skips them.
                (void)failure;
            }
        }
        db_status_.reason = report.trouble;
    }

    WriterNews TakeNews() {
        WriterNews news = store_.TakeNews();
        for (Failure& notice : std::exchange(notices_, {})) {
            news.notices.push_back(std::move(notice));
        }
        if (outbox_) {
            db_status_.waiting = outbox_->Waiting();
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

    WriterMailbox& box_;
    FileLayer& files_;
    RecordStore store_;
    WriterWakeup& wakeup_;
    WriterTiming timing_;
    std::optional<SteadyClock::time_point> stopBy_;
    std::optional<SteadyClock::time_point> retry_at_;
    SteadyClock::time_point task_start_;
    std::string task_path_;
    bool slow_told_ = false;
    bool long_told_ = false;
    bool refused_ = false;
    std::string journal_path_;
    DatabaseTarget database_;
    std::optional<DatabaseOutbox> outbox_;
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

// The delivery's thread: owns the connection to the database and sends what the writer hands
// it, every record waiting in one statement; after a failure it waits before the next try.
void DeliveryLoop(const std::shared_ptr<WriterMailbox>& box,
                  std::unique_ptr<DatabaseSession> session) {
    DatabaseDelivery delivery(std::move(session));
    std::optional<SteadyClock::time_point> nextTry;
    for (;;) {
        {
            std::unique_lock lock(box->mutex);
            const auto news = [&] {
                return box->quit || box->deliveryTarget || !box->toDeliver.empty();
            };
            if (!delivery.HasWork()) {
                box->deliveryWake.wait(lock, news);
            } else if (nextTry) {
                box->deliveryWake.wait_until(lock, *nextTry, news);
            }
            if (box->quit) {
                return;
            }
            if (box->deliveryTarget) {
                delivery.SetTarget(std::move(*std::exchange(box->deliveryTarget, std::nullopt)));
                nextTry.reset();
            }
            delivery.Add(std::exchange(box->toDeliver, {}));
            if (!delivery.HasWork() || (nextTry && SteadyClock::now() < *nextTry)) {
                continue;
            }
            box->delivering = true;
        }
        DeliveryReport report = delivery.Attempt();
        nextTry.reset();
        if (report.trouble) {
            nextTry = SteadyClock::now() + delivery.Pause();
        }
        std::lock_guard lock(box->mutex);
        box->delivering = false;
        box->forWriter.deliveries.push_back(std::move(report));
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
        }
        writer_.detach();
        appender_.detach();
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
