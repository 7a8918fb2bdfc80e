#include "store/ThreadedRecordWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

#include "store/DataFileAppender.h"

namespace brisolant {

using SteadyClock = std::chrono::steady_clock;

// Everything the threads hand each other, under one lock. Nothing else is shared: the store lives
// on the writer's thread, the data-file calls on the appender's.
struct WriterMailbox {
    std::mutex mutex;
    std::condition_variable writerWake;
    std::condition_variable appenderWake;
    std::condition_variable stoppedWake;

    // For the writer, from the window's thread.
    std::deque<std::pair<std::string, std::string>> scans;
    std::optional<Destination> destination;
    std::optional<SteadyClock::time_point> stopBy;
    // For the writer, from the appender.
    std::optional<std::pair<std::size_t, std::uint64_t>> opened;
    std::optional<AppendOutcome> done;
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

// What the writer's thread took out of the mailbox in one turn.
struct Turn {
    std::deque<std::pair<std::string, std::string>> scans;
    std::optional<Destination> destination;
    std::optional<SteadyClock::time_point> stopBy;
    std::optional<std::pair<std::size_t, std::uint64_t>> opened;
    std::optional<AppendOutcome> done;
};

// The writer's thread: owns the store, answers the appender, keeps the times.
class WriterLoop {
  public:
    WriterLoop(WriterMailbox& box, FileLayer& files, const Clock& clock, WriterWakeup& wakeup,
               WriterTiming timing)
        : box_(box), store_(files, clock), wakeup_(wakeup), timing_(timing) {}

    void Run(const std::string& journalPath) {
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
            Publish(store_.TakeNews());
        }
    }

  private:
    Turn Wait() {
        std::unique_lock lock(box_.mutex);
        const auto ready = [this] {
            return !box_.scans.empty() || box_.destination || box_.opened || box_.done ||
                   (box_.stopBy && !stopBy_) || box_.beatsAsked != box_.beatsAnswered;
        };
        box_.wantsScans = !store_.Busy() || long_told_ || stopBy_.has_value();
        if (const std::optional<SteadyClock::time_point> deadline = Deadline()) {
            box_.writerWake.wait_until(lock, *deadline, ready);
        } else {
            box_.writerWake.wait(lock, ready);
        }
        box_.beatsAnswered = box_.beatsAsked;
        Turn turn{std::exchange(box_.scans, {}), std::exchange(box_.destination, std::nullopt),
                  box_.stopBy, std::exchange(box_.opened, std::nullopt),
                  std::exchange(box_.done, std::nullopt)};
        return turn;
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
        stopBy_ = turn.stopBy;
        if (turn.destination) {
            store_.SetDestination(std::move(*turn.destination));
        }
        for (auto& [fileName, line] : turn.scans) {
            if (!store_.Add(std::move(fileName), std::move(line))) {
                refused_ = true;
            }
        }
        if (turn.opened) {
            const bool go = store_.BeginWrite(turn.opened->first, turn.opened->second);
            std::lock_guard lock(box_.mutex);
            box_.go = go;
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
        std::lock_guard lock(box_.mutex);
        box_.task = std::move(task);
        box_.appenderWake.notify_one();
    }

    void Stop() {
        const std::size_t unkept = store_.KeepAll();
        const std::size_t unwritten = store_.Count();
        Publish(store_.TakeNews());
        std::lock_guard lock(box_.mutex);
        box_.quit = true;
        box_.appenderWake.notify_one();
        box_.stopped = StopOutcome{unwritten, unkept, false};
        box_.stoppedWake.notify_all();
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
                box->opened.emplace(first, offset);
                box->writerWake.notify_one();
                box->appenderWake.wait(lock, [&] { return box->go || box->quit; });
                return !box->quit && *std::exchange(box->go, std::nullopt);
            });
        std::lock_guard lock(box->mutex);
        box->appending = false;
        box->done = std::move(outcome);
        box->writerWake.notify_one();
    }
}

}  // namespace

ThreadedRecordWriter::ThreadedRecordWriter(FileLayer& files, const Clock& clock,
                                           WriterWakeup& wakeup, WriterTiming timing)
    : files_(files),
      clock_(clock),
      wakeup_(wakeup),
      timing_(timing),
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
}

void ThreadedRecordWriter::SetDestination(Destination destination) {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->destination = std::move(destination);
    mailbox_->writerWake.notify_one();
}

void ThreadedRecordWriter::Submit(std::string fileName, std::string line) {
    std::lock_guard lock(mailbox_->mutex);
    const bool wake = mailbox_->wantsScans && mailbox_->scans.empty();
    mailbox_->scans.emplace_back(std::move(fileName), std::move(line));
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
    }
    writer_.join();
    // A data-file call that hangs keeps its thread; the journal already holds what it writes,
    // and the thread ends with the program.
    if (appending) {
        appender_.detach();
    } else {
        appender_.join();
    }
    return outcome;
}

}  // namespace brisolant
