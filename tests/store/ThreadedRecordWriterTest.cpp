#include "store/ThreadedRecordWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "support/FakeFiles.h"
#include "support/FileHold.h"
#include "support/InlineRecordWriter.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::FakeFileLayer;
using test::Hold;
using test::InlineRecordWriter;
using test::ReadFile;
using test::TempDir;
using test::WaitUntil;

class CountingWakeup : public WriterWakeup {
  public:
    void NewsWaiting() override { ++calls; }
    std::atomic<int> calls = 0;
};

using std::chrono::hours;
using std::chrono::milliseconds;

class ThreadedRecordWriterTest : public ::testing::Test {
  protected:
    explicit ThreadedRecordWriterTest(WriterTiming timing = {milliseconds(100), milliseconds(100)})
        : writer(files, clock, wakeup, timing) {
        fs::create_directory(Folder());
        writer.SetDestination({Folder()});
    }
    ~ThreadedRecordWriterTest() override { hold.Release(); }

    std::string Folder() const { return dir.folder() + "data/"; }
    std::string DataFile() const { return Folder() + "LOG-241.txt"; }
    std::string Journal() const { return dir.file("Orvane.journal"); }

    // Gathers the news until the condition holds of it.
    template <typename Condition>
    bool NewsUntil(Condition done) {
        return WaitUntil([&] {
            news.Append(writer.TakeNews());
            return done();
        });
    }
    std::size_t WrittenCount() const { return news.written.size(); }
    std::vector<std::string> WrittenLines() const {
        std::vector<std::string> lines;
        for (const WrittenRecord& record : news.written) {
            lines.push_back(record.line);
        }
        return lines;
    }
    // What the data file would hold were the program killed now: the next start, on a copy of
    // the folder as it stands, writes what the journal keeps.
    std::string DataFileAfterAKillAndAStart() const {
        TempDir copy;
        fs::copy(dir.path(), copy.path(), fs::copy_options::recursive);
        PosixFileLayer real;
        InlineRecordWriter nextRun(real, clock);
        nextRun.SetDestination({copy.folder() + "data/"});
        nextRun.Start(copy.file("Orvane.journal"));
        return ReadFile(copy.folder() + "data/LOG-241.txt");
    }
    // Starts the writer with the sync of its first line held, and queues scans 2 to `last`
    // behind it.
    ::testing::AssertionResult QueueBehindAHeldSync(int last) {
        hold.At(files, "sync LOG-241.txt");
        writer.Start(Journal());
        writer.Submit("LOG-241.txt", "scan 1");
        if (!hold.WaitHeld()) {
            return ::testing::AssertionFailure() << "the first line's sync never began";
        }
        for (int n = 2; n <= last; ++n) {
            writer.Submit("LOG-241.txt", "scan " + std::to_string(n));
        }
        return ::testing::AssertionSuccess();
    }
    static long Count(const std::vector<std::string>& steps, const std::string& step) {
        return std::count(steps.begin(), steps.end(), step);
    }

    TempDir dir;
    FakeFileLayer files;
    FakeClock clock;
    CountingWakeup wakeup;
    Hold hold;
    WriterNews news;
    ThreadedRecordWriter writer;
};

// A scan counts only once its line is on the disk; the lines that queue while a sync runs go
// in together, in order, with one sync.
TEST_F(ThreadedRecordWriterTest, LinesCountAfterTheirSyncAndQueuedOnesShareTheNext) {
    ASSERT_TRUE(QueueBehindAHeldSync(50));
    EXPECT_EQ(writer.TakeNews().written.size(), 0u) << "nothing counts before its sync";
    hold.Release();
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 50; }));
    std::string expected;
    for (int n = 1; n <= 50; ++n) {
        expected += "scan " + std::to_string(n) + "\r\n";
    }
    EXPECT_EQ(ReadFile(DataFile()), expected);
    EXPECT_EQ(WrittenLines().front(), "scan 1");
    EXPECT_EQ(WrittenLines().back(), "scan 50");
    EXPECT_LE(Count(files.Steps(), "sync LOG-241.txt"), 3) << "one sync for the queued lines";
    EXPECT_GE(wakeup.calls, 1);
}

// While the data folder hangs, the scan in flight and every one behind it are kept in the journal
// on the local disk; when the write completes none of them is written twice.
TEST_F(ThreadedRecordWriterTest, ScansBehindAHungWriteAreKeptAndWrittenOnce) {
    hold.At(files, "write LOG-241.txt");
    writer.Start(Journal());
    writer.Submit("LOG-241.txt", "in flight");
    ASSERT_TRUE(hold.WaitHeld());
    writer.Submit("LOG-241.txt", "behind it");
    ASSERT_TRUE(NewsUntil([&] {
        return news.status && news.status->cause &&
               news.status->cause->code() == FailureCode::DataFolderNotAnswering;
    }));
    ASSERT_TRUE(
        WaitUntil([&] { return ReadFile(Journal()).find("behind it") != std::string::npos; }));
    EXPECT_NE(ReadFile(Journal()).find("in flight"), std::string::npos);

    EXPECT_EQ(DataFileAfterAKillAndAStart(), "in flight\r\nbehind it\r\n")
        << "were the program killed now, the next start would write each once";

    hold.Release();
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 2; }));
    EXPECT_EQ(ReadFile(DataFile()), "in flight\r\nbehind it\r\n");
    ASSERT_TRUE(NewsUntil([&] { return news.status && !news.status->Troubled(); }));
    EXPECT_EQ(ReadFile(Journal()), "");
}

// At the end the writer gets its patience; what a hung folder holds up stays in the journal.
TEST_F(ThreadedRecordWriterTest, StoppingKeepsWhatAHungWriteHoldsUp) {
    hold.At(files, "open LOG-241.txt");
    writer.Start(Journal());
    writer.Submit("LOG-241.txt", "held");
    ASSERT_TRUE(hold.WaitHeld());
    writer.Submit("LOG-241.txt", "behind");
    const StopOutcome outcome = writer.Stop(std::chrono::milliseconds(0));
    EXPECT_EQ(outcome.unwritten, 2u);
    EXPECT_EQ(outcome.unkept, 0u);
    hold.Release();
    // The held thread finds the writer gone and writes nothing.
    ASSERT_TRUE(WaitUntil([&] { return Count(files.Steps(), "close LOG-241.txt") == 1; }));
    EXPECT_EQ(ReadFile(DataFile()), "");
    PosixFileLayer real;
    InlineRecordWriter nextRun(real, clock);
    nextRun.SetDestination({Folder()});
    nextRun.Start(Journal());
    EXPECT_EQ(ReadFile(DataFile()), "held\r\nbehind\r\n");
}

// Scans that wait for a folder are tried again after a while, without a new scan.
TEST_F(ThreadedRecordWriterTest, WaitingScansAreTriedAgainByThemselves) {
    fs::remove(Folder());
    writer.Start(Journal());
    writer.Submit("LOG-241.txt", "waits");
    ASSERT_TRUE(NewsUntil([&] { return news.status && news.status->cause; }));
    EXPECT_EQ(news.status->cause->code(), FailureCode::DataFileOpen);
    fs::create_directory(Folder());
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 1; }));
    EXPECT_EQ(ReadFile(DataFile()), "waits\r\n");
    EXPECT_EQ(writer.Stop(std::chrono::seconds(5)).unwritten, 0u);
}

// Kept scans whose read-back from the journal fails wait for the retry like any others, and are
// written by themselves once the journal reads again.
TEST_F(ThreadedRecordWriterTest, KeptScansWhoseReadBackFailsAreTriedAgainByThemselves) {
    test::WriteFile(Journal(), ScanRecordText(1, "LOG-241.txt", "kept 1") +
                                   ScanRecordText(2, "LOG-241.txt", "kept 2"));
    std::atomic<int> opens = 0;
    // The start reads the journal; the first read-back fails.
    files.inject = [&](const std::string& step) {
        return step == "openread Orvane.journal" && ++opens == 2 ? EIO : 0;
    };
    writer.Start(Journal());
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 2; }));
    EXPECT_EQ(ReadFile(DataFile()), "kept 1\r\nkept 2\r\n");
    EXPECT_GE(opens, 3);
}

// A session that never reaches a server: the delivery's thread waits between its tries.
class UnreachedSession : public DatabaseSession {
  public:
    DatabaseError Open(const std::string&) override { return "no server"; }
    void Close() override {}
    bool IsOpen() const override { return false; }
    DatabaseError LastSeq(const std::string&, std::uint64_t&) override { return "no server"; }
    DatabaseError Insert(std::span<const CentralRecord>) override { return "no server"; }
};

// The program ends while the journal's disk hangs and a database is named: the writer's
// threads, the delivery's among them, are given up and end with the program, instead of
// aborting it.
TEST(StuckWriterEndTest, AWriterGivenUpWithADatabaseNamedEndsWithoutAnAbort) {
    // The threads given up outlive the test: what they use must too.
    static auto* files = new FakeFileLayer;
    static auto* hold = new Hold;
    static auto* clock = new FakeClock;
    static auto* wakeup = new CountingWakeup;
    TempDir dir;
    hold->At(*files, "sync Orvane.journal");
    {
        ThreadedRecordWriter writer(
            *files, *clock, *wakeup,
            {milliseconds(100), milliseconds(100), milliseconds(50), milliseconds(50)},
            [] { return std::make_unique<UnreachedSession>(); });
        writer.SetDestination({dir.folder() + "data/"});
        writer.SetDatabase({"host=depot", "north"});
        writer.Start(dir.file("Orvane.journal"));
        CentralRecord record;
        writer.Submit("LOG-241.txt", "kept", record);
        ASSERT_TRUE(hold->WaitHeld());
        EXPECT_TRUE(writer.Stop(milliseconds(0)).writerHung);
    }
    SUCCEED() << "the writer was given up and the program goes on";
}

// The same writer with a short grace at its stop.
class StuckWriterTest : public ThreadedRecordWriterTest {
  protected:
    StuckWriterTest()
        : ThreadedRecordWriterTest(
              {milliseconds(100), milliseconds(100), milliseconds(50), milliseconds(100)}) {}
};

// A writer stuck in a call to the journal's disk stops answering its heartbeat, so that a
// watchdog is no longer fed; its stop gives it up after the grace instead of waiting for ever,
// and a later stop waits for it again.
TEST_F(StuckWriterTest, AWriterStuckOnTheJournalMissesItsHeartbeatAndIsGivenUpAtTheStop) {
    fs::remove(Folder());  // the scan waits, and so goes into the journal
    hold.At(files, "sync Orvane.journal");
    writer.Start(Journal());
    EXPECT_TRUE(writer.Heartbeat()) << "nothing was asked before";
    ASSERT_TRUE(WaitUntil([&] { return writer.Heartbeat(); })) << "an idle writer answers";
    writer.Submit("LOG-241.txt", "kept");
    ASSERT_TRUE(hold.WaitHeld());
    (void)writer.Heartbeat();
    EXPECT_FALSE(writer.Heartbeat());
    EXPECT_FALSE(writer.Heartbeat());

    EXPECT_TRUE(writer.Stop(milliseconds(0)).writerHung);
    hold.Release();
    const StopOutcome later = writer.Stop(std::chrono::seconds(5));
    EXPECT_FALSE(later.writerHung);
    EXPECT_EQ(later.unwritten, 1u);
    EXPECT_EQ(later.unkept, 0u);
}

// The same writer with a hung folder reported only after an hour, and scans journaled as they
// come once a write has run for 50 ms (the program's own figure) or only after an hour.
class JournalBehindALongWriteTest : public ThreadedRecordWriterTest {
  protected:
    explicit JournalBehindALongWriteTest(milliseconds behindAfter = milliseconds(50))
        : ThreadedRecordWriterTest({hours(1), milliseconds(100), behindAfter}) {}

    bool JournalHolds(const std::string& line) {
        return WaitUntil([&] { return ReadFile(Journal()).find(line) != std::string::npos; });
    }
};

class GroupCommitTest : public JournalBehindALongWriteTest {
  protected:
    GroupCommitTest() : JournalBehindALongWriteTest(hours(1)) {}
};

// Scans that pile up while the journal's own sync runs, behind a write that runs long, go into
// the journal together at the next turn: one sync for all of them, not one a scan, so that a slow
// disk never turns a flood into a sync a scan.
TEST_F(JournalBehindALongWriteTest, ScansThatPileUpBehindAJournalSyncShareTheNextSync) {
    std::mutex mutex;
    std::condition_variable changed;
    bool holdJournal = false;
    bool journalHeld = false;
    bool open = false;
    files.inject = [&](const std::string& step) {
        std::unique_lock lock(mutex);
        if (step == "write LOG-241.txt" || (step == "sync Orvane.journal" && holdJournal)) {
            journalHeld = journalHeld || step == "sync Orvane.journal";
            changed.notify_all();
            changed.wait(lock,
                         [&] { return open || (step == "sync Orvane.journal" && !holdJournal); });
        }
        return 0;
    };
    const auto set = [&](bool& flag, bool value) {
        std::lock_guard lock(mutex);
        flag = value;
        changed.notify_all();
    };
    writer.Start(Journal());
    writer.Submit("LOG-241.txt", "in flight");
    ASSERT_TRUE(JournalHolds("in flight")) << "the mark has passed";
    set(holdJournal, true);
    writer.Submit("LOG-241.txt", "scan 2");
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return journalHeld; }));
    }
    for (int n = 3; n <= 100; ++n) {
        writer.Submit("LOG-241.txt", "scan " + std::to_string(n));
    }
    const long before = Count(files.Steps(), "sync Orvane.journal");
    set(holdJournal, false);
    ASSERT_TRUE(JournalHolds("scan 100"));
    EXPECT_EQ(Count(files.Steps(), "sync Orvane.journal") - before, 1)
        << "scans 3 to 100 share one sync";
    set(open, true);
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 100; }));
}

// Once the write has run past the mark (seen by the scan in flight going into the journal), a
// new scan is in the journal before the write ends, with no "not answering" report; when the
// write completes each is written once, and a crash meanwhile would have lost neither.
TEST_F(JournalBehindALongWriteTest, AScanBehindAWriteThatRunsLongIsJournaledAsItComes) {
    hold.At(files, "write LOG-241.txt");
    writer.Start(Journal());
    writer.Submit("LOG-241.txt", "in flight");
    ASSERT_TRUE(hold.WaitHeld());
    ASSERT_TRUE(JournalHolds("in flight")) << "the mark has passed";
    writer.Submit("LOG-241.txt", "behind it");
    ASSERT_TRUE(JournalHolds("behind it"));
    news.Append(writer.TakeNews());
    EXPECT_FALSE(news.status && news.status->Troubled()) << "no hung folder is reported";

    EXPECT_EQ(DataFileAfterAKillAndAStart(), "in flight\r\nbehind it\r\n");

    hold.Release();
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 2; }));
    EXPECT_EQ(WrittenLines(), (std::vector<std::string>{"in flight", "behind it"}));
    EXPECT_EQ(ReadFile(DataFile()), "in flight\r\nbehind it\r\n");
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(Journal()).empty(); }));
}

// A write that ends before the mark takes the scans queued meanwhile into its next batch
// without a journal write: the usual case costs one sync a batch.
TEST_F(GroupCommitTest, ScansBehindAWriteThatEndsInTimeStayOutOfTheJournal) {
    ASSERT_TRUE(QueueBehindAHeldSync(50));
    hold.Release();
    ASSERT_TRUE(NewsUntil([&] { return WrittenCount() == 50; }));
    EXPECT_EQ(Count(files.Steps(), "write Orvane.journal"), 0);
    EXPECT_EQ(Count(files.Steps(), "sync LOG-241.txt"), 2);
}

}  // namespace
}  // namespace brisolant
