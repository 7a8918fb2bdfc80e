#include "store/DatabaseDelivery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/DatabaseOutbox.h"
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
    DatabaseError LastSeq(const std::string&, std::uint64_t& seq) override {
        std::lock_guard lock(db_.mutex);
        seq = db_.rows.empty() ? 0 : db_.rows.back().seq;
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
        for (const CentralRecord& record : records) {
            const bool held = std::any_of(db_.rows.begin(), db_.rows.end(), [&](auto& row) {
                return row.station == record.station && row.seq == record.seq;
            });
            if (!held) {
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

TEST(DatabaseDeliveryTest, EveryRecordWaitingGoesInOneInsert) {
    FakeDatabase db;
    DatabaseDelivery delivery(std::make_unique<FakeSession>(db));
    delivery.SetTarget({"host=records", "north"});
    delivery.Add({Numbered(1), Numbered(2)});
    delivery.Add({Numbered(3)});
    const DeliveryReport report = delivery.Attempt();
    EXPECT_EQ(report.committedThrough, 3u);
    EXPECT_EQ(report.delivered, 3u);
    EXPECT_EQ(report.lastSeq, 0u);  // asked once, on connecting
    EXPECT_EQ(db.batches, std::vector<std::size_t>{3});
    EXPECT_FALSE(delivery.HasWork());
}

TEST(DatabaseDeliveryTest, FailuresWaitLongerEachTimeUpToThirtySecondsAndKeepTheRecords) {
    FakeDatabase db;
    db.refuse = "connection refused";
    DatabaseDelivery delivery(std::make_unique<FakeSession>(db));
    delivery.SetTarget({"host=records", "north"});
    delivery.Add({Numbered(1)});
    std::vector<long> pauses;
    for (int attempt = 0; attempt < 7; ++attempt) {
        const DeliveryReport report = delivery.Attempt();
        EXPECT_EQ(report.trouble, "connection refused");
        pauses.push_back(delivery.Pause().count());
    }
    EXPECT_EQ(pauses, (std::vector<long>{1, 2, 4, 8, 16, 30, 30}));
    db.refuse.reset();
    EXPECT_EQ(delivery.Attempt().committedThrough, 1u);
    EXPECT_EQ(delivery.Pause().count(), 0);
    EXPECT_EQ(db.Lines(), std::vector<std::string>{"line 1"});
}

TEST(DatabaseDeliveryTest, ANewConnectionIsReachedAtOnce) {
    FakeDatabase db;
    DatabaseDelivery delivery(std::make_unique<FakeSession>(db));
    delivery.SetTarget({"host=old", "north"});
    delivery.Add({Numbered(1)});
    (void)delivery.Attempt();
    delivery.SetTarget({"host=new", "north"});
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
    // Every record is in the outbox before its line is in the file.
    DatabaseOutbox outbox(files, Outbox());
    EXPECT_EQ(outbox.Open().size(), 20u);
    (void)writer.Stop(seconds(0));
}

TEST_F(DatabaseWriterTest, AFailingDatabaseIsSaidWithItsReasonAndTheRecordsGoOnceItIsBack) {
    db.refuse = "FATAL: database \"depot\" does not exist";
    writer.SetDatabase({"host=records dbname=depot", "north"});
    writer.Start(dir.file("Orvane.journal"));
    Submit(1);
    ASSERT_TRUE(NewsUntil([&] { return news.database && news.database->reason; }));
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
    EXPECT_FALSE(fs::exists(Outbox()));
    EXPECT_EQ(db.opens, 0);
}

TEST_F(DatabaseWriterTest, RecordsKeptByAnEarlierRunGoFirst) {
    {
        DatabaseOutbox earlier(files, Outbox());
        (void)earlier.Open();
        std::vector<CentralRecord> kept{Numbered(0), Numbered(0)};
        kept[0].line = "kept 1";
        kept[1].line = "kept 2";
        earlier.Keep(kept);
    }
    writer.SetDatabase({"host=records", "north"});
    writer.Start(dir.file("Orvane.journal"));
    Submit(3);
    ASSERT_TRUE(NewsUntil([&] { return news.database && news.database->delivered == 3; }));
    EXPECT_EQ(db.Lines(), (std::vector<std::string>{"kept 1", "kept 2", "line 3"}));
}

}  // namespace
}  // namespace brisolant
