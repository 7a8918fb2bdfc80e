#include "store/DatabaseDelivery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/OutboxFormat.h"
#include "store/RecordJournal.h"
#include "store/ThreadedRecordWriter.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;
using test::FakeClock;
using test::ReadFile;
using test::TempDir;
using test::WaitUntil;
using test::WriteFile;

// A database in memory that the tests can make fail or hang, shared by its sessions on
// whichever thread they run.
struct FakeDatabase {
    std::mutex mutex;
    std::condition_variable released;
    std::vector<CentralRecord> rows;
    std::vector<std::size_t> batches;   // the size of each insert that went through
    std::optional<std::string> refuse;  // every call fails with it while set
    bool hang = false;                  // inserts wait until it is cleared
    int opens = 0;
    int inserting = 0;  // inserts under way, on a thread the writer may have let go

    std::vector<std::uint64_t> Seqs() {
        std::lock_guard lock(mutex);
        std::vector<std::uint64_t> seqs;
        for (const CentralRecord& row : rows) {
            seqs.push_back(row.seq);
        }
        return seqs;
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex);
        std::vector<std::string> lines;
        for (const CentralRecord& row : rows) {
            lines.push_back(row.line);
        }
        return lines;
    }
    void Hang(bool on) {
        std::lock_guard lock(mutex);
        hang = on;
        released.notify_all();
    }
};

class FakeSession : public DatabaseSession {
  public:
    explicit FakeSession(FakeDatabase& database) : db_(database) {}
    DatabaseError Open(const std::string&) override {
        std::lock_guard lock(db_.mutex);
        ++db_.opens;
        open_ = !db_.refuse;
        return db_.refuse;
    }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    DatabaseError LastSeq(const std::string& station, std::uint64_t& seq) override {
        std::lock_guard lock(db_.mutex);
        seq = 0;
        for (const CentralRecord& row : db_.rows) {
            seq = row.station == station ? std::max(seq, row.seq) : seq;
        }
        return std::nullopt;
    }
    DatabaseError Insert(std::span<const CentralRecord> records) override {
        std::unique_lock lock(db_.mutex);
        ++db_.inserting;
        db_.released.wait(lock, [&] { return !db_.hang; });
        --db_.inserting;
        db_.released.notify_all();
        if (db_.refuse) {
            open_ = false;
            return db_.refuse;
        }
        const auto heldAs = [&](const CentralRecord& record) {
            return std::find_if(db_.rows.begin(), db_.rows.end(), [&](auto& row) {
                return row.station == record.station && row.seq == record.seq;
            });
        };
        // As the real statement: a number held with another line inserts nothing.
        for (const CentralRecord& record : records) {
            const auto held = heldAs(record);
            if (held != db_.rows.end() && held->line != record.line) {
                open_ = false;
                return "the table holds another record under " + std::to_string(record.seq);
            }
        }
        for (const CentralRecord& record : records) {
            if (heldAs(record) == db_.rows.end()) {
                db_.rows.push_back(record);
            }
        }
        db_.batches.push_back(records.size());
        return std::nullopt;
    }

  private:
    FakeDatabase& db_;
    bool open_ = false;
};

CentralRecord Numbered(std::uint64_t seq) {
    CentralRecord record;
    record.station = "north";
    record.seq = seq;
    record.line = "line " + std::to_string(seq);
    return record;
}

DeliveryBatch Batch(std::uint64_t first, std::uint64_t last, std::uint64_t lastEntry) {
    DeliveryBatch batch;
    for (std::uint64_t seq = first; seq <= last; ++seq) {
        batch.records.push_back(Numbered(seq));
    }
    batch.lastEntry = lastEntry;
    return batch;
}

TEST(DatabaseDeliveryTest, ABatchGoesInOneInsertAndTheTablesNumberIsLearnedOnConnecting) {
    FakeDatabase db;
    DatabaseDelivery delivery(std::make_unique<FakeSession>(db));
    delivery.SetTarget({"host=records", "north"});
    EXPECT_TRUE(delivery.HasWork()) << "it connects to learn the table's highest number";
    DeliveryReport report = delivery.Attempt();
    EXPECT_EQ(report.lastSeq, 0u);
    EXPECT_EQ(report.station, "north");
    EXPECT_FALSE(report.committedEntry);
    EXPECT_FALSE(delivery.HasWork());
    delivery.Take(Batch(1, 3, 17));
    report = delivery.Attempt();
    EXPECT_EQ(report.committedEntry, 17u);
    EXPECT_EQ(report.delivered, 3u);
    EXPECT_FALSE(report.lastSeq) << "asked once, on connecting";
    EXPECT_EQ(db.batches, std::vector<std::size_t>{3});
    EXPECT_FALSE(delivery.HasWork());
}

TEST(DatabaseDeliveryTest, FailuresWaitLongerEachTimeUpToThirtySecondsAndKeepTheRecords) {
    FakeDatabase db;
    db.refuse = "connection refused";
    DatabaseDelivery delivery(std::make_unique<FakeSession>(db));
    delivery.SetTarget({"host=records", "north"});
    delivery.Take(Batch(1, 1, 1));
    std::vector<long> pauses;
    for (int attempt = 0; attempt < 7; ++attempt) {
        const DeliveryReport report = delivery.Attempt();
        EXPECT_EQ(report.trouble, "connection refused");
        pauses.push_back(delivery.Pause().count());
    }
    EXPECT_EQ(pauses, (std::vector<long>{1, 2, 4, 8, 16, 30, 30}));
    db.refuse.reset();
    EXPECT_EQ(delivery.Attempt().committedEntry, 1u);
    EXPECT_EQ(delivery.Pause().count(), 0);
    EXPECT_EQ(db.Lines(), std::vector<std::string>{"line 1"});
}

TEST(DatabaseDeliveryTest, ANewConnectionIsReachedAtOnce) {
    FakeDatabase db;
    DatabaseDelivery delivery(std::make_unique<FakeSession>(db));
    db.refuse = "connection refused";
    delivery.SetTarget({"host=old", "north"});
    delivery.Take(Batch(1, 1, 1));
    (void)delivery.Attempt();
    db.refuse.reset();
    EXPECT_TRUE(delivery.SetTarget({"host=new", "north"})) << "the batch is given back";
    EXPECT_FALSE(delivery.HasBatch());
    EXPECT_EQ(delivery.Pause().count(), 0);
    (void)delivery.Attempt();
    EXPECT_EQ(db.opens, 2);
    delivery.SetTarget({"", "north"});
    EXPECT_FALSE(delivery.HasWork()) << "no database is named: nothing is sent";
}

class QuietWakeup : public WriterWakeup {
  public:
    void NewsWaiting() override {}
};

// The writer's threads with a database in memory. Also run under ThreadSanitizer.
class DatabaseWriterTest : public ::testing::Test {
  protected:
    DatabaseWriterTest()
        : writer(files, clock, wakeup, WriterTiming{},
                 [this] { return std::make_unique<FakeSession>(db); }) {
        fs::create_directory(dir.folder() + "data");
        writer.SetDestination({dir.folder() + "data/"});
    }
    // A hung insert's thread is let go by the writer's stop: it must be done with the database
    // before the database goes.
    ~DatabaseWriterTest() override {
        // Lines still being written are let finish: the writer's threads use the test's files.
        (void)writer.Stop(seconds(60));
        db.Hang(false);
        std::unique_lock lock(db.mutex);
        db.released.wait(lock, [&] { return db.inserting == 0; });
    }

    void Submit(int n) {
        CentralRecord record;
        record.line = "line " + std::to_string(n);
        writer.Submit("LOG-241.txt", record.line, record);
    }
    template <typename Condition>
    bool NewsUntil(Condition done) {
        return WaitUntil([&] {
            news.Append(writer.TakeNews());
            return done();
        });
    }
    std::string Outbox() const { return dir.file("Orvane.outbox"); }

    TempDir dir;
    PosixFileLayer files;
    FakeClock clock;
    QuietWakeup wakeup;
    FakeDatabase db;
    ThreadedRecordWriter writer;
    WriterNews news;
};

TEST_F(DatabaseWriterTest, RecordsAreNumberedDeliveredAndCounted) {
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    for (int n = 1; n <= 100; ++n) {
        Submit(n);
    }
    ASSERT_TRUE(NewsUntil([&] { return news.database && news.database->delivered == 100; }));
    EXPECT_EQ(news.database->waiting, 0u);
    const auto lines = db.Lines();
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines.front(), "line 1");
    EXPECT_EQ(lines.back(), "line 100");
    std::lock_guard lock(db.mutex);
    for (std::size_t i = 0; i < db.rows.size(); ++i) {
        EXPECT_EQ(db.rows[i].seq, i + 1);
        EXPECT_EQ(db.rows[i].station, "north");
    }
}

TEST_F(DatabaseWriterTest, ADatabaseThatHangsHoldsUpNeitherTheDataFileNorTheStop) {
    db.Hang(true);
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    for (int n = 1; n <= 20; ++n) {
        Submit(n);
    }
    ASSERT_TRUE(NewsUntil([&] { return news.written.size() == 20; }));
    EXPECT_EQ(news.database->waiting, 20u);
    // Every record is in the log before its line is in the file.
    EXPECT_EQ(RecordJournal(files, dir.file("Orvane.journal")).Load(100).forDatabase.size(), 20u);
    const StopOutcome stopped = writer.Stop(seconds(0));
    EXPECT_EQ(stopped.databaseWaiting, 20u);
}

// A statement that hangs is said with the backlog long before the client gives it up.
TEST_F(DatabaseWriterTest, ADatabaseThatSaysNothingIsToldWithTheBacklog) {
    db.Hang(true);
    WriterTiming timing;
    timing.databaseQuietAfter = std::chrono::milliseconds(100);
    ThreadedRecordWriter quiet(files, clock, wakeup, timing,
                               [this] { return std::make_unique<FakeSession>(db); });
    quiet.SetDestination({dir.folder() + "data/"});
    quiet.SetDatabase({"host=records", "north"});
    quiet.Start(dir.file("Quiet.journal"));
    for (int n = 1; n <= 3; ++n) {
        quiet.Submit("LOG-241.txt", "line " + std::to_string(n), Numbered(0));
    }
    WriterNews heard;
    ASSERT_TRUE(WaitUntil([&] {
        heard.Append(quiet.TakeNews());
        return heard.database && heard.database->reason;
    }));
    const std::optional<Failure> shown = DatabaseFailure(*heard.database);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(StatusText(*shown).starts_with(
        "Status: 151 Records waiting for the database: 3; no answer from the database for"))
        << StatusText(*shown);
    (void)quiet.Stop(seconds(0));
}

TEST_F(DatabaseWriterTest, AFailingDatabaseIsSaidWithItsReasonAndTheRecordsGoOnceItIsBack) {
    db.refuse = "FATAL: database \"depot\" does not exist";
    writer.SetDatabase({"host=records dbname=depot", "north"});
    writer.Start(dir.file("Orvane.journal"));
    Submit(1);
    // The delivery tries to connect as soon as the database is named, so the reason may come
    // before the record does.
    ASSERT_TRUE(NewsUntil(
        [&] { return news.database && news.database->reason && news.database->waiting == 1; }));
    const std::optional<Failure> shown = DatabaseFailure(*news.database);
    ASSERT_TRUE(shown);
    EXPECT_EQ(StatusText(*shown),
              "Status: 151 Records waiting for the database: 1; FATAL: database \"depot\" does "
              "not exist");
    {
        std::lock_guard lock(db.mutex);
        db.refuse.reset();
    }
    // The first retry comes a second after the failure.
    ASSERT_TRUE(NewsUntil([&] { return news.database->delivered == 1 && !news.database->reason; }));
    EXPECT_FALSE(DatabaseFailure(*news.database));
}

TEST_F(DatabaseWriterTest, WithoutAConnectionNothingIsKeptForADatabase) {
    writer.SetDatabase({"", ""});
    writer.Start(dir.file("Orvane.journal"));
    Submit(1);
    ASSERT_TRUE(NewsUntil([&] { return news.written.size() == 1; }));
    EXPECT_FALSE(news.database);
    EXPECT_FALSE(fs::exists(dir.file("Orvane.journal"))) << "the file took the line at once";
    EXPECT_EQ(db.opens, 0);
}

// An earlier program kept its records for the database in an outbox of their own: they go
// first, with the numbers they had, and the outbox is gone.
TEST_F(DatabaseWriterTest, RecordsAnEarlierProgramKeptInItsOutboxGoFirstWithTheirNumbers) {
    WriteFile(Outbox(), OutboxRecordText(Numbered(1)) + OutboxRecordText(Numbered(2)) +
                            OutboxCommittedText(1));
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    Submit(3);
    ASSERT_TRUE(NewsUntil([&] { return news.database && news.database->delivered == 2; }));
    EXPECT_EQ(db.Lines(), (std::vector<std::string>{"line 2", "line 3"}));
    EXPECT_EQ(db.Seqs(), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_FALSE(fs::exists(Outbox()));
}

// A reinstalled PC, a deleted state folder: the station's records carry on above what the
// table holds, without a hand.
TEST_F(DatabaseWriterTest, ANewStateFolderCarriesOnAboveWhatTheTableHolds) {
    for (std::uint64_t seq = 1; seq <= 5; ++seq) {
        db.rows.push_back(Numbered(seq));
        db.rows.back().line = "from the old PC";
    }
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    Submit(6);
    Submit(7);
    ASSERT_TRUE(NewsUntil([&] { return news.database && news.database->delivered == 2; }));
    EXPECT_EQ(db.Seqs(), (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(news.database->reason);
}

// Two PCs under one name: the second is told, and once its name is corrected its waiting
// records go under the new name, numbered from what the table holds for it.
TEST_F(DatabaseWriterTest, AStationsNameHeldByAnotherPcIsToldAndItsRecordsGoOnceRenamed) {
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    Submit(1);
    ASSERT_TRUE(NewsUntil([&] { return news.database && news.database->delivered == 1; }));
    {
        std::lock_guard lock(db.mutex);
        db.rows.push_back(Numbered(2));
        db.rows.back().line = "the other PC's";
    }
    Submit(2);
    ASSERT_TRUE(NewsUntil([&] { return news.database->reason.has_value(); }));
    writer.SetDatabase({"host=records", "south"});
    ASSERT_TRUE(NewsUntil([&] { return news.database->delivered == 2; }));
    std::lock_guard lock(db.mutex);
    EXPECT_EQ(db.rows.back().station, "south");
    EXPECT_EQ(db.rows.back().seq, 1u);
    EXPECT_EQ(db.rows.back().line, "line 2");
}

// A stop with records waiting for a database that hangs: they wait in the log, and the next
// run delivers each of them once.
TEST_F(DatabaseWriterTest, RecordsWaitingAtAStopGoOnceAtTheNextStart) {
    db.Hang(true);
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    for (int n = 1; n <= 10; ++n) {
        Submit(n);
    }
    ASSERT_TRUE(NewsUntil([&] { return news.written.size() == 10; }));
    EXPECT_EQ(writer.Stop(seconds(0)).databaseWaiting, 10u);
    db.Hang(false);
    {
        std::unique_lock lock(db.mutex);
        db.released.wait(lock, [&] { return db.inserting == 0; });
    }
    ThreadedRecordWriter next(files, clock, wakeup, WriterTiming{},
                              [this] { return std::make_unique<FakeSession>(db); });
    next.SetDestination({dir.folder() + "data/"});
    next.SetDatabase({"host=records", "north"});
    next.Start(dir.file("Orvane.journal"));
    WriterNews later;
    ASSERT_TRUE(WaitUntil([&] {
        later.Append(next.TakeNews());
        return later.database && later.database->waiting == 0 && db.Lines().size() == 10;
    }));
    EXPECT_EQ(db.Seqs(), (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    std::string lines;
    for (int n = 1; n <= 10; ++n) {
        lines += "line " + std::to_string(n) + "\r\n";
    }
    EXPECT_EQ(ReadFile(dir.file("data/LOG-241.txt")), lines) << "each line once";
    (void)next.Stop(seconds(10));
}

}  // namespace
}  // namespace brisolant
