#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "db/PgSuiteTest.h"
#include "db/PgTestServer.h"
#include "store/DatabaseDelivery.h"
#include "store/DatabaseSink.h"
#include "store/RecordJournal.h"
#include "store/RecordStore.h"
#include "store/ThreadedRecordWriter.h"
#include "store/pg/PgDatabaseSession.h"
#include "support/FakeFiles.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::PgTestServer;
using test::TempDir;
using test::WaitUntil;

class QuietWakeup : public WriterWakeup {
  public:
    void NewsWaiting() override {}
};

CentralRecord RecordFor(int n) {
    CentralRecord record;
    record.arrivedAt = "2026-12-10 19:15:00+01:00";
    record.device = "7";
    record.length = "12.5";
    record.width = "10";
    record.height = "3";
    record.grossWeight = "1.25";
    record.lengthUnit = "in";
    record.weightUnit = "lb";
    record.barcode = "PARCEL-" + std::to_string(n);
    record.line = "line of parcel " + std::to_string(n);
    return record;
}

class DatabaseServerTest : public test::PgSuiteTest {
  protected:
    void SetUp() override {
        PgSuiteTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        fs::create_directory(dir.folder() + "data");
    }

    // A writer whose records go to the test's server, with short limits.
    std::unique_ptr<ThreadedRecordWriter> StartWriter(PgTimeouts timeouts = {}) {
        auto writer = std::make_unique<ThreadedRecordWriter>(
            files, clock, wakeup, WriterTiming{},
            [timeouts] { return std::make_unique<PgDatabaseSession>(timeouts); });
        writer->SetDestination({dir.folder() + "data/"});
        writer->SetDatabase({server->Connection(), "north"});
        writer->Start(dir.file("Orvane.journal"));
        return writer;
    }

    void Submit(ThreadedRecordWriter& writer, int n) {
        CentralRecord record = RecordFor(n);
        writer.Submit("LOG-241.txt", record.line, record);
    }

    // Gathers the writer's news until the condition holds of it.
    template <typename Condition>
    bool NewsUntil(ThreadedRecordWriter& writer, Condition done) {
        return WaitUntil([&] {
            news.Append(writer.TakeNews());
            return done();
        });
    }

    // The lines in the table for the station, in the order of their numbers.
    std::vector<std::string> TableLines() {
        return server->Query("SELECT line FROM scan_records WHERE station = 'north' ORDER BY seq");
    }
    static std::vector<std::string> Lines(int first, int last) {
        std::vector<std::string> lines;
        for (int n = first; n <= last; ++n) {
            lines.push_back(RecordFor(n).line);
        }
        return lines;
    }

    TempDir dir;
    PosixFileLayer files;
    FakeClock clock;
    QuietWakeup wakeup;
    WriterNews news;
};

TEST_F(DatabaseServerTest, RecordsArriveOnceInOrderWithTheirValues) {
    auto writer = StartWriter();
    for (int n = 1; n <= 300; ++n) {
        Submit(*writer, n);
    }
    ASSERT_TRUE(
        NewsUntil(*writer, [&] { return news.database && news.database->delivered == 300; }));
    EXPECT_EQ(news.database->waiting, 0u);
    EXPECT_EQ(TableLines(), Lines(1, 300));
    EXPECT_EQ(server->Query("SELECT min(seq), max(seq), count(DISTINCT seq) FROM scan_records"),
              std::vector<std::string>{"1|300|300"});
    EXPECT_EQ(server->Query("SET TimeZone = 'UTC'; SELECT arrived_at, device, length, gross_weight,"
                            " length_unit, weight_unit, barcode, dim_weight IS NULL"
                            " FROM scan_records WHERE seq = 2"),
              std::vector<std::string>{"2026-12-10 18:15:00+00|7|12.5|1.25|in|lb|PARCEL-2|t"});
    writer->Stop(std::chrono::seconds(3));
}

TEST_F(DatabaseServerTest, NumbersGoOnAfterARestartAndNeverRepeat) {
    {
        auto writer = StartWriter();
        Submit(*writer, 1);
        Submit(*writer, 2);
        ASSERT_TRUE(
            NewsUntil(*writer, [&] { return news.database && news.database->delivered == 2; }));
        writer->Stop(std::chrono::seconds(3));
    }
    news = {};
    auto writer = StartWriter();
    Submit(*writer, 3);
    ASSERT_TRUE(NewsUntil(*writer, [&] { return news.database && news.database->delivered == 1; }));
    EXPECT_EQ(server->Query("SELECT seq FROM scan_records ORDER BY seq"),
              (std::vector<std::string>{"1", "2", "3"}));
    writer->Stop(std::chrono::seconds(3));
}

TEST_F(DatabaseServerTest, AServerStoppedAndStartedMidFloodGetsEachRecordOnce) {
    auto writer = StartWriter();
    for (int n = 1; n <= 200; ++n) {
        Submit(*writer, n);
    }
    server->Stop();
    for (int n = 201; n <= 400; ++n) {
        Submit(*writer, n);
    }
    // The data file goes on while the server is down, and the panel says why records wait.
    ASSERT_TRUE(NewsUntil(*writer, [&] {
        return news.database && news.database->reason && news.written.size() == 400;
    }));
    ASSERT_TRUE(server->Start());
    ASSERT_TRUE(NewsUntil(*writer, [&] {
        return news.database && news.database->waiting == 0 && !news.database->reason;
    }));
    EXPECT_EQ(TableLines(), Lines(1, 400));
    writer->Stop(std::chrono::seconds(3));
}

// Each round hands 1,000 records over and kills the program's backend as soon as there is one,
// wherever its delivery stands: the server ends every session and recovers, as after a crash.
TEST_F(DatabaseServerTest, BackendsKilledMidTransactionLeaveEachRecordOnce) {
    auto writer = StartWriter();
    for (int round = 0; round < 3; ++round) {
        for (int n = round * 1000 + 1; n <= (round + 1) * 1000; ++n) {
            Submit(*writer, n);
        }
        ASSERT_TRUE(WaitUntil([&] { return server->KillBackends("brisolant") > 0; }));
    }
    ASSERT_TRUE(NewsUntil(*writer, [&] {
        return news.database && news.database->waiting == 0 && !news.database->reason &&
               news.written.size() == 3000;
    }));
    EXPECT_EQ(TableLines(), Lines(1, 3000));
    writer->Stop(std::chrono::seconds(3));
}

// A listener that takes connections and never says a word, as a hung server or a network that
// swallows packets does.
class SilentServer {
  public:
    explicit SilentServer(const std::string& folder) {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = folder + "/.s.PGSQL.5432";
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd_, 16), 0);
    }
    ~SilentServer() { close(fd_); }

  private:
    int fd_ = -1;
};

TEST_F(DatabaseServerTest, AServerThatNeverAnswersDoesNotHoldUpTheDataFile) {
    TempDir silentFolder;
    SilentServer silent(silentFolder.path().string());
    auto writer = std::make_unique<ThreadedRecordWriter>(files, clock, wakeup, WriterTiming{}, [] {
        return std::make_unique<PgDatabaseSession>(PgTimeouts{std::chrono::seconds(2)});
    });
    writer->SetDestination({dir.folder() + "data/"});
    writer->SetDatabase(
        {"host=" + silentFolder.path().string() + " dbname=depot user=brisolant", "north"});
    writer->Start(dir.file("Orvane.journal"));
    for (int n = 1; n <= 50; ++n) {
        Submit(*writer, n);
    }
    ASSERT_TRUE(NewsUntil(*writer, [&] { return news.written.size() == 50; }));
    ASSERT_TRUE(NewsUntil(*writer, [&] { return news.database && news.database->reason; }));
    EXPECT_NE(news.database->reason->find("timeout"), std::string::npos) << *news.database->reason;
    EXPECT_EQ(news.database->waiting, 50u);
    const auto stopping = std::chrono::steady_clock::now();
    writer->Stop(std::chrono::seconds(3));
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(10));
    // The log keeps them for the next start.
    EXPECT_EQ(RecordJournal(files, dir.file("Orvane.journal")).Load(100).forDatabase.size(), 50u);
}

// Each of these keeps the records and names its cause.
struct BadTarget {
    const char* name;
    std::string (*prepare)(PgTestServer& server);  // returns the connection
    const char* cause;
};

const BadTarget kBadTargets[] = {
    {"NoServer", [](PgTestServer&) { return std::string("host=/nonexistent-folder dbname=depot"); },
     "No such file or directory"},
    {"WrongPassword",
     [](PgTestServer& server) {
         server.TryQuery("CREATE ROLE guarded LOGIN PASSWORD 'right'");
         server.AddHbaLines("local all guarded scram-sha-256");
         const std::string passfile = server.socketFolder() + "/wrong.pgpass";
         std::ofstream(passfile) << "*:*:*:guarded:wrong\n";
         fs::permissions(passfile, fs::perms::owner_read | fs::perms::owner_write);
         return "host=" + server.socketFolder() +
                " dbname=postgres user=guarded passfile=" + passfile;
     },
     "password authentication failed"},
    {"MissingDatabase", [](PgTestServer& server) { return server.Connection("no_such_depot"); },
     "database \"no_such_depot\" does not exist"},
    {"TableWithOtherColumns",
     [](PgTestServer& server) {
         server.Query("CREATE TABLE scan_records (station text, seq bigint, weight real)");
         return server.Connection();
     },
     "arrived_at is missing"},
    {"ReadOnlyUser",
     [](PgTestServer& server) {
         server.Query(kScanRecordsTable);
         server.TryQuery("CREATE ROLE reader LOGIN");
         server.Query("GRANT SELECT ON scan_records TO reader");
         return "host=" + server.socketFolder() + " dbname=postgres user=reader";
     },
     "may not insert into scan_records"},
    {"NoRightToCreateTheTable",
     [](PgTestServer& server) {
         server.TryQuery("CREATE ROLE clerk LOGIN");
         server.Query("REVOKE CREATE ON SCHEMA public FROM PUBLIC");
         return "host=" + server.socketFolder() + " dbname=postgres user=clerk";
     },
     "permission denied for schema public"},
};

TEST_F(DatabaseServerTest, EachBadTargetIsNamedAndTheRecordsWait) {
    for (const BadTarget& target : kBadTargets) {
        SCOPED_TRACE(target.name);
        server->Query("DROP TABLE IF EXISTS scan_records");
        const std::string connection = target.prepare(*server);
        DatabaseDelivery delivery(std::make_unique<PgDatabaseSession>());
        delivery.SetTarget({connection, "north"});
        delivery.Take({{RecordFor(1)}, 1});
        const DeliveryReport report = delivery.Attempt();
        ASSERT_TRUE(report.trouble);
        EXPECT_NE(report.trouble->find(target.cause), std::string::npos) << *report.trouble;
        EXPECT_FALSE(report.committedEntry);
        EXPECT_TRUE(delivery.HasWork());
    }
    server->Query("GRANT CREATE ON SCHEMA public TO PUBLIC");
}

TEST_F(DatabaseServerTest, ANumberHeldByAnotherRecordInsertsNothingAndSaysSo) {
    server->Query(kScanRecordsTable);
    server->Query(
        "INSERT INTO scan_records (station, seq, arrived_at, line)"
        " VALUES ('north', 2, now(), 'an older life')");
    DatabaseDelivery delivery(std::make_unique<PgDatabaseSession>());
    delivery.SetTarget({server->Connection(), "north"});
    DeliveryBatch batch;
    for (int n = 1; n <= 3; ++n) {
        batch.records.push_back(RecordFor(n));
        batch.records.back().station = "north";
        batch.records.back().seq = static_cast<std::uint64_t>(n);
    }
    batch.lastEntry = 3;
    delivery.Take(batch);
    const DeliveryReport report = delivery.Attempt();
    ASSERT_TRUE(report.trouble);
    EXPECT_NE(report.trouble->find("other records under 1 of the numbers"), std::string::npos)
        << *report.trouble;
    EXPECT_NE(report.trouble->find("Station="), std::string::npos) << *report.trouble;
    EXPECT_EQ(report.lastSeq, 2u);
    EXPECT_EQ(server->Query("SELECT count(*) FROM scan_records"), std::vector<std::string>{"1"});
}

TEST_F(DatabaseServerTest, LatinOneBytesOfABarcodeAreKept) {
    DatabaseDelivery delivery(std::make_unique<PgDatabaseSession>());
    delivery.SetTarget({server->Connection(), "north"});
    CentralRecord record = RecordFor(1);
    record.station = "north";
    record.seq = 1;
    record.barcode = "CAF\xc9-\"quoted\"\\{x}";
    record.line = "line with " + record.barcode;
    delivery.Take({{record}, 1});
    ASSERT_FALSE(delivery.Attempt().trouble);
    EXPECT_EQ(
        server->Query("SELECT encode(convert_to(barcode, 'LATIN1'), 'hex'), barcode"
                      " FROM scan_records"),
        std::vector<std::string>{"434146c92d2271756f746564225c7b787d|CAF\xc3\x89-\"quoted\"\\{x}"});
}

// The README's example query, as written there, counts the records per station and hour.
TEST_F(DatabaseServerTest, TheReadmesExampleQueryWorksAsWritten) {
    std::stringstream readme;
    readme << std::ifstream(BRISOLANT_README).rdbuf();
    const std::string text = readme.str();
    const std::size_t section = text.find("## Central records");
    ASSERT_NE(section, std::string::npos);
    const std::size_t start = text.find("```sql\n", section);
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = text.find("```", start + 7);
    const std::string query = text.substr(start + 7, end - start - 7);
    server->Query(kScanRecordsTable);
    server->Query(
        "INSERT INTO scan_records (station, seq, arrived_at, line) VALUES"
        " ('north', 1, '2026-12-10 19:05:00+00', 'a'), ('north', 2, '2026-12-10 19:55:00+00', 'b'),"
        " ('north', 3, '2026-12-10 20:01:00+00', 'c'), ('south', 1, '2026-12-10 19:30:00+00', "
        "'d')");
    EXPECT_EQ(server->Query("SET TimeZone = 'UTC'; " + query),
              (std::vector<std::string>{"north|2026-12-10 19:00:00+00|2",
                                        "north|2026-12-10 20:00:00+00|1",
                                        "south|2026-12-10 19:00:00+00|1"}));
}

TEST_F(DatabaseServerTest, TheShippedSchemaIsTheTableTheProgramCreates) {
    std::stringstream schema;
    schema << std::ifstream(BRISOLANT_SCHEMA_SQL).rdbuf();
    EXPECT_NE(schema.str().find(std::string(kScanRecordsTable) + ";"), std::string::npos);
    server->Query(schema.str());
    DatabaseDelivery delivery(std::make_unique<PgDatabaseSession>());
    delivery.SetTarget({server->Connection(), "north"});
    CentralRecord record = RecordFor(1);
    record.station = "north";
    record.seq = 1;
    delivery.Take({{record}, 1});
    EXPECT_FALSE(delivery.Attempt().trouble);
}

// A session that logs its steps among the file layer's and dies where the file layer would:
// before the insert is sent, and once it is committed, before the program hears of it.
class StepSession : public DatabaseSession {
  public:
    explicit StepSession(test::FakeFileLayer& files) : files_(files) {}
    DatabaseError Open(const std::string& connection) override { return real_.Open(connection); }
    void Close() override { real_.Close(); }
    bool IsOpen() const override { return real_.IsOpen(); }
    DatabaseError LastSeq(const std::string& station, std::uint64_t& seq) override {
        return real_.LastSeq(station, seq);
    }
    DatabaseError Insert(std::span<const CentralRecord> records) override {
        Step("insert");
        DatabaseError error = real_.Insert(records);
        Step("committed");
        return error;
    }

  private:
    void Step(const std::string& step) {
        files_.steps.push_back(step);
        if (files_.crashAt == static_cast<long>(files_.steps.size()) - 1) {
            throw test::SimulatedCrash();
        }
    }
    test::FakeFileLayer& files_;
    PgDatabaseSession real_;
};

// One run of the writer's whole path for scans `first` to `last`, in the order the writer's
// threads take it, on one thread: the log is opened (an earlier run's scans and records go
// first), the scans are added, written to their data file through the gate, their records
// numbered once the table's highest number is known, delivered and marked committed.
void WriterRun(test::FakeFileLayer& files, const std::string& folder, const std::string& connection,
               int first, int last) {
    FakeClock clock;
    RecordStore store(files, clock);
    DatabaseSink sink(files);
    sink.Open(store.Journal(), store.OpenJournal(folder + "Orvane.journal"));
    sink.SetTarget({connection, "north"});
    store.SetLogEverything(true);
    store.SetKeepJournal(true);
    store.SetDestination({folder + "data/"});
    DatabaseDelivery delivery(std::make_unique<StepSession>(files));
    delivery.SetTarget({connection, "north"});
    for (int n = first; n <= last; ++n) {
        ASSERT_TRUE(store.Add("LOG-241.txt", RecordFor(n).line, RecordFor(n)));
    }
    for (int round = 0; round < 4; ++round) {
        if (std::optional<AppendTask> task = store.NextTask()) {
            store.TaskDone(RunAppendTask(*task, files, [&](std::size_t from, std::uint64_t at) {
                return store.BeginWrite(from, at);
            }));
        }
        sink.Logged(store.TakeNewTableEntries());
        if (!delivery.HasBatch()) {
            if (std::optional<DeliveryBatch> batch = sink.NextBatch()) {
                delivery.Take(std::move(*batch));
            }
        }
        if (delivery.HasWork()) {
            const DeliveryReport report = delivery.Attempt();
            ASSERT_FALSE(report.trouble) << *report.trouble;
            if (report.committedEntry) {
                sink.Committed(*report.committedEntry, report.delivered);
            }
            if (report.lastSeq) {
                sink.TableHolds(report.station, *report.lastSeq, store.NextSeq());
            }
        }
    }
}

// The lines of the data file, without CR LF.
std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    if (!fs::exists(path)) {
        return lines;
    }
    std::istringstream text(test::ReadFile(path));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// A kill, or a power cut, at every step of a scan's way into both places: once the next run is
// done, the data file and the table hold the same scans, each once, in order.
class OneTruthTest : public DatabaseServerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OneTruthTest, ACrashAtAnyStepLeavesTheFileAndTheTableAlike) {
    const bool powerCut = GetParam();
    test::FakeFileLayer steps;
    const auto prepare = [&](const TempDir& folder) {
        server->Query("DROP TABLE IF EXISTS scan_records");
        fs::create_directories(folder.folder() + "data");
        WriterRun(steps, folder.folder(), server->Connection(), 1, 2);
    };
    {
        TempDir folder;
        prepare(folder);
        steps.steps.clear();
        WriterRun(steps, folder.folder(), server->Connection(), 3, 5);
    }
    const long count = static_cast<long>(steps.steps.size());
    ASSERT_GT(count, 12);
    for (long crashAt = 0; crashAt < count; ++crashAt) {
        TempDir folder;
        prepare(folder);
        steps.steps.clear();
        steps.crashAt = crashAt;
        steps.powerCut = powerCut;
        bool crashed = false;
        try {
            WriterRun(steps, folder.folder(), server->Connection(), 3, 5);
        } catch (const test::SimulatedCrash&) {
            crashed = true;
        }
        const std::string step = steps.steps.back();
        SCOPED_TRACE("crash at step " + std::to_string(crashAt) + " of " + std::to_string(count) +
                     ": " + step);
        steps.crashAt = -1;
        steps.powerCut = false;
        EXPECT_TRUE(crashed);
        WriterRun(steps, folder.folder(), server->Connection(), 6, 6);
        const std::vector<std::string> file = FileLines(folder.folder() + "data/LOG-241.txt");
        EXPECT_EQ(TableLines(), file);
        // Scans 3 to 5 are in both places or in neither, the earlier and the later ones always.
        ASSERT_GE(file.size(), 3u);
        EXPECT_EQ(file.front(), RecordFor(1).line);
        EXPECT_EQ(file.back(), RecordFor(6).line);
        EXPECT_EQ(server->Query("SELECT count(*) = count(DISTINCT line) FROM scan_records"),
                  std::vector<std::string>{"t"});
        EXPECT_EQ(RecordJournal(steps, folder.file("Orvane.journal")).Load(100).damaged, 0u)
            << "a cut short append is no damage";
    }
}

INSTANTIATE_TEST_SUITE_P(KillOrPowerCut, OneTruthTest, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "PowerCut" : "Kill"; });

}  // namespace
}  // namespace brisolant
