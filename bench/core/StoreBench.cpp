// What getting record lines onto the disk costs on the program's own path: a task of the
// appender (one open, write, fdatasync and close for all its lines), and the threaded writer end
// to end, from a line handed over to the news that it is on the disk.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "common/Clock.h"
#include "store/DataFileAppender.h"
#include "store/DatabaseSession.h"
#include "store/FileLayer.h"
#include "store/ThreadedRecordWriter.h"

namespace brisolant {
namespace {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "brisolant-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern + "/";
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A line as long as a real record: 141 bytes with its CR LF.
const std::string kLine(139, 'x');
constexpr int kAppends = 20000;  // keeps the file at a few megabytes

// The same calls without waiting for the disk: the price of the sync is the difference.
class UnsyncedFiles : public PosixFileLayer {
  public:
    int SyncData(int) override { return 0; }
};

// Tasks of `lines` lines to one file, each begun where the previous one ended, as the store
// hands them out: the file's end is known, so its last byte is not read.
void RunAppendTasks(benchmark::State& state, FileLayer& files) {
    const TempFolder folder;
    AppendTask task;
    task.folder = folder.path();
    task.fileName = "LOG-241.txt";
    task.checkTail = true;
    task.items.assign(static_cast<std::size_t>(state.range(0)), {kLine + "\r\n", std::nullopt});
    const AppendGate go = [](std::size_t, std::uint64_t) { return true; };
    for (auto _ : state) {
        const AppendOutcome outcome = RunAppendTask(task, files, go);
        if (outcome.failure) {
            state.SkipWithError(outcome.failure->what());
            break;
        }
        task.ownEnd = outcome.end;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_AppendTask(benchmark::State& state) {
    RunAppendTasks(state, PosixFiles());
}
BENCHMARK(BM_AppendTask)->Arg(1)->Iterations(kAppends)->UseRealTime();
BENCHMARK(BM_AppendTask)->Arg(64)->Iterations(kAppends / 64)->UseRealTime();

void BM_AppendTaskWithoutSync(benchmark::State& state) {
    UnsyncedFiles files;
    RunAppendTasks(state, files);
}
BENCHMARK(BM_AppendTaskWithoutSync)->Arg(1)->Iterations(kAppends)->UseRealTime();

// The least any append costs: open, one write, close, with no checks.
void BM_BareOpenWriteClose(benchmark::State& state) {
    const TempFolder folder;
    const std::string path = folder.path() + "LOG-241.txt";
    const std::string bytes = kLine + "\r\n";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
        ::close(fd);
    }
}
BENCHMARK(BM_BareOpenWriteClose)->Iterations(kAppends);

// The word that the writer has news, as the window's event loop would get it.
class NewsWord : public WriterWakeup {
  public:
    void NewsWaiting() override {
        std::lock_guard lock(mutex_);
        said_ = true;
        word_.notify_one();
    }
    void Await() {
        std::unique_lock lock(mutex_);
        word_.wait(lock, [this] { return said_; });
        said_ = false;
    }

  private:
    std::mutex mutex_;
    std::condition_variable word_;
    bool said_ = false;
};

// The program's writer on a folder of its own, as the recorder drives it.
class WriterRig {
  public:
    WriterRig() : writer_(PosixFiles(), clock_, word_) {
        writer_.SetDestination({folder_.path()});
        writer_.Start(folder_.path() + "Orvane.journal");
    }
    ~WriterRig() { (void)writer_.Stop(std::chrono::seconds(10)); }

    // Hands `lines` lines over at once and waits until the writer reports them all on the disk.
    void WriteAndAwait(std::int64_t lines) {
        for (std::int64_t i = 0; i < lines; ++i) {
            writer_.Submit("LOG-241.txt", kLine);
        }
        for (std::int64_t written = 0; written < lines;) {
            word_.Await();
            written += static_cast<std::int64_t>(writer_.TakeNews().written.size());
        }
    }

  private:
    TempFolder folder_;
    SystemClock clock_;
    NewsWord word_;
    ThreadedRecordWriter writer_;
};

// Lines handed over `range(0)` at a time: 1 is a scan at the line's pace, each written alone;
// 1,000 is a flood, whose lines the writer takes in as few batches as its syncs allow. CPU time
// is the process's, the writer's and the appender's threads included.
void BM_ThreadedWriter(benchmark::State& state) {
    WriterRig rig;
    for (auto _ : state) {
        rig.WriteAndAwait(state.range(0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ThreadedWriter)->Arg(1)->Iterations(kAppends)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_ThreadedWriter)
    ->Arg(1000)
    ->Iterations(kAppends / 1000)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// A disk under load, made the same on every machine: every sync takes 50 ms, whatever this
// machine's disk does (the data reaches the page cache only).
class SlowSyncFiles : public PosixFileLayer {
  public:
    int SyncData(int) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return 0;
    }
    int SyncFolder(const std::string&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return 0;
    }
};

// A database that commits each statement at once, so that the writer's own cost shows.
class InstantDatabase : public DatabaseSession {
  public:
    DatabaseError Open(const std::string&) override {
        open_ = true;
        return std::nullopt;
    }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    DatabaseError LastSeq(const std::string&, std::uint64_t& seq) override {
        seq = 0;
        return std::nullopt;
    }
    DatabaseError Insert(std::span<const CentralRecord>) override { return std::nullopt; }

  private:
    bool open_ = false;
};

// A flood of 20,000 scans handed over as fast as the recorder could, until every line is on
// the disk and, with a database named (range(0)), every record committed; range(1) slows every
// sync to 50 ms.
void BM_Flood(benchmark::State& state) {
    constexpr std::int64_t kScans = 20000;
    const bool database = state.range(0) != 0;
    SlowSyncFiles slow;
    FileLayer& files = state.range(1) != 0 ? static_cast<FileLayer&>(slow) : PosixFiles();
    CentralRecord record;
    record.line = kLine;
    record.barcode = "PARCEL";
    for (auto _ : state) {
        TempFolder folder;
        SystemClock clock;
        NewsWord word;
        ThreadedRecordWriter writer(files, clock, word, WriterTiming{},
                                    [] { return std::make_unique<InstantDatabase>(); });
        writer.SetDestination({folder.path()});
        if (database) {
            writer.SetDatabase({"host=instant", "north"});
        }
        writer.Start(folder.path() + "Orvane.journal");
        for (std::int64_t i = 0; i < kScans; ++i) {
            writer.Submit("LOG-241.txt", kLine, database ? std::optional(record) : std::nullopt);
        }
        std::int64_t written = 0;
        std::uint64_t delivered = database ? 0 : kScans;
        while (written < kScans || delivered < kScans) {
            word.Await();
            WriterNews news = writer.TakeNews();
            written += static_cast<std::int64_t>(news.written.size());
            if (news.database) {
                delivered = news.database->delivered;
            }
        }
        (void)writer.Stop(std::chrono::seconds(10));
    }
    state.SetItemsProcessed(state.iterations() * kScans);
}
BENCHMARK(BM_Flood)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"database", "slow"})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brisolant
