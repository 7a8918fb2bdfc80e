#include "store/RecordStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/FakeFiles.h"
#include "support/InlineRecordWriter.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::FakeFileLayer;
using test::InlineRecordWriter;
using test::ReadFile;
using test::SimulatedCrash;
using test::TempDir;
using test::WriteFile;

long Count(const std::vector<std::string>& steps, const std::string& step) {
    return std::count(steps.begin(), steps.end(), step);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// A data folder that can go away and come back, a journal beside it, and runs of the program's
// writer over them.
class RecordStoreTest : public ::testing::Test {
  protected:
    RecordStoreTest() { Prepare("before\r\n"); }

    void Prepare(const std::string& dataFile) {
        fs::remove_all(dir.file("aside"));
        fs::remove_all(Folder());
        fs::remove(Journal());
        fs::create_directory(Folder());
        WriteFile(DataFile(), dataFile);
    }
    std::string Folder() const { return dir.folder() + "data/"; }
    std::string DataFile() const { return Folder() + "LOG-241.txt"; }
    std::string Journal() const { return dir.file("Orvane.journal"); }
    void FolderGoes() { fs::rename(Folder(), dir.file("aside")); }
    void FolderComesBack() { fs::rename(dir.file("aside"), Folder()); }

    // A run of the writer: the folder named, then the journal of the earlier run taken.
    std::unique_ptr<InlineRecordWriter> Start(const std::string& folder = "") {
        auto writer = std::make_unique<InlineRecordWriter>(files, clock);
        writer->SetDestination({folder.empty() ? Folder() : folder});
        writer->Start(Journal());
        return writer;
    }

    // Takes the news; returns the lines written.
    std::vector<std::string> Written(InlineRecordWriter& writer) {
        WriterNews news = writer.TakeNews();
        if (news.status) {
            status = *news.status;
        }
        notices.insert(notices.end(), news.notices.begin(), news.notices.end());
        std::vector<std::string> lines;
        for (const WrittenRecord& record : news.written) {
            lines.push_back(record.line);
        }
        return lines;
    }

    TempDir dir;
    FakeFileLayer files;
    FakeClock clock;
    WriterStatus status;
    std::vector<Failure> notices;
};

TEST_F(RecordStoreTest, ScansWaitInOrderAndAreWrittenOnceTheFolderIsBack) {
    auto writer = Start();
    EXPECT_FALSE(writer->WaitingForRetry()) << "nothing waits, nothing ticks";
    FolderGoes();
    for (const char* line : {"scan 1", "scan 2", "scan 3"}) {
        writer->Submit("LOG-241.txt", line);
    }
    EXPECT_TRUE(Written(*writer).empty());
    EXPECT_TRUE(writer->WaitingForRetry());
    EXPECT_EQ(
        StatusText(*StatusFailure(status)),
        "Status: 126 Scans are waiting to be written: 3 waiting; Cannot open the data file: " +
            DataFile() + ": No such file or directory");
    writer->Retry();
    EXPECT_EQ(writer->Count(), 3u) << "the folder is still away";
    EXPECT_FALSE(fs::exists(Folder())) << "the data folder is never made";

    FolderComesBack();
    writer->Retry();
    EXPECT_EQ(Written(*writer), (std::vector<std::string>{"scan 1", "scan 2", "scan 3"}));
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nscan 1\r\nscan 2\r\nscan 3\r\n");
    EXPECT_FALSE(status.Troubled());
    EXPECT_FALSE(writer->WaitingForRetry());
    EXPECT_EQ(ReadFile(Journal()), "") << "an empty queue leaves an empty journal";
}

TEST_F(RecordStoreTest, WaitingScansOutliveTheProgram) {
    FolderGoes();
    {
        auto firstRun = Start();
        firstRun->Submit("LOG-241.txt", "scan 1");
        firstRun->Submit("LOG-241.txt", "scan 2");
    }
    FolderComesBack();
    auto nextRun = Start();
    EXPECT_EQ(Written(*nextRun), (std::vector<std::string>{"scan 1", "scan 2"}));
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nscan 1\r\nscan 2\r\n");
}

// The program dies at every file operation of writing three kept scans out (two of them the
// same line that already ends the data file: the same parcel scanned twice in a second) and of
// writing a fourth that never waited. The next run writes each kept scan exactly once, in order;
// the fourth, never in the journal, is there whole, not at all, or as the part a dying write left,
// closed so that the next record has a line of its own.
TEST_F(RecordStoreTest, CrashAtAnyStepNeitherLosesNorDoublesAScan) {
    const std::string before = "before\r\nsame parcel\r\n";
    const auto prepare = [&] {
        Prepare(before);
        FolderGoes();
        auto firstRun = Start();
        for (const char* line : {"same parcel", "same parcel", "third"}) {
            firstRun->Submit("LOG-241.txt", line);
        }
        FolderComesBack();
    };
    const auto crashRun = [&] {
        auto writer = Start();
        writer->Submit("LOG-241.txt", "a fourth that never waited");
    };
    prepare();
    files.steps.clear();
    crashRun();
    const long steps = static_cast<long>(files.steps.size());
    ASSERT_GT(steps, 15);

    const std::string kept = before + "same parcel\r\nsame parcel\r\nthird\r\n";
    const std::string fourth = "a fourth that never waited";
    for (long crashAt = 0; crashAt < steps; ++crashAt) {
        SCOPED_TRACE("crash at step " + std::to_string(crashAt) + " of " + std::to_string(steps));
        prepare();
        files.steps.clear();
        files.crashAt = crashAt;
        try {
            crashRun();
        } catch (const SimulatedCrash&) {
        }
        files.crashAt = -1;
        auto nextRun = Start();
        nextRun->Submit("LOG-241.txt", "next");
        const std::string text = ReadFile(DataFile());
        ASSERT_TRUE(text.starts_with(kept)) << text;
        ASSERT_TRUE(text.ends_with("next\r\n")) << text;
        const std::string between = text.substr(kept.size(), text.size() - kept.size() - 6);
        const bool part = between.size() >= 2 && between.ends_with("\r\n") &&
                          fourth.starts_with(between.substr(0, between.size() - 2));
        EXPECT_TRUE(between.empty() || part) << "between: " << between;
        EXPECT_EQ(ReadFile(Journal()), "");
    }
}

// The journal stops taking changes after the first: the written scans cannot be marked done in
// it. The places recorded before their writes still tell the next run they are written.
TEST_F(RecordStoreTest, AJournalThatFailsMidwayDoublesNothing) {
    FolderGoes();
    {
        auto firstRun = Start();
        firstRun->Submit("LOG-241.txt", "241 a");
        firstRun->Submit("LOG-241.txt", "241 b");
        firstRun->Submit("LOG-242.txt", "242 a");
        firstRun->Submit("LOG-242.txt", "242 b");
    }
    FolderComesBack();
    int journalWrites = 0;
    files.inject = [&](const std::string& step) {
        const bool laterWrite = step == "write Orvane.journal" && ++journalWrites > 1;
        return laterWrite || step == "truncate Orvane.journal" ? EIO : 0;
    };
    {
        auto secondRun = Start();
        EXPECT_EQ(Written(*secondRun).size(), 2u) << "the second file's scans cannot be marked";
        ASSERT_TRUE(status.cause);
        EXPECT_EQ(status.cause->code(), FailureCode::JournalMark);
    }
    files.inject = nullptr;
    auto thirdRun = Start();
    EXPECT_EQ(Written(*thirdRun), (std::vector<std::string>{"241 a", "241 b", "242 a", "242 b"}))
        << "the first two are found at their places, the others written";
    EXPECT_EQ(ReadFile(DataFile()), "before\r\n241 a\r\n241 b\r\n");
    EXPECT_EQ(ReadFile(Folder() + "LOG-242.txt"), "242 a\r\n242 b\r\n");
}

// The written scans stay marked as waiting when the journal cannot take the mark: the operator
// is told, with the count so far, and the next run finds them at their places and writes none
// of them again.
TEST_F(RecordStoreTest, ADoneMarkThatFailsIsCountedAndTold) {
    FolderGoes();
    Start()->Submit("LOG-241.txt", "kept 1");
    FolderComesBack();
    // The mark that empties the journal, once nothing waits, is a truncation.
    files.failures["truncate Orvane.journal"] = EIO;
    {
        auto secondRun = Start();
        EXPECT_EQ(Written(*secondRun), std::vector<std::string>{"kept 1"});
        FolderGoes();
        secondRun->Submit("LOG-241.txt", "kept 2");
        FolderComesBack();
        secondRun->Retry();
        EXPECT_EQ(Written(*secondRun), std::vector<std::string>{"kept 2"});
    }
    ASSERT_EQ(notices.size(), 2u);
    const std::string told =
        "Status: 143 Written scans could not be marked done in the journal; "
        "the next start finds them in their data files and does not write "
        "them again: " +
        Journal() + ": Input/output error; ";
    EXPECT_EQ(StatusText(notices[0]), told + "1 in this run");
    EXPECT_EQ(StatusText(notices[1]), told + "2 in this run");

    files.failures.clear();
    auto thirdRun = Start();
    EXPECT_EQ(Written(*thirdRun), (std::vector<std::string>{"kept 1", "kept 2"}))
        << "reported as found at their places";
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nkept 1\r\nkept 2\r\n");
    EXPECT_EQ(ReadFile(Journal()), "");
}

// Between two batches somebody else appends a line without its CR LF, or the file loses its
// tail (a share that lost what it had not synced). The next record still starts a line of its
// own; while the file ends where the program's own write left it, its end is not read.
TEST_F(RecordStoreTest, ARecordIsNeverGluedToALineLeftTornWhileTheProgramRuns) {
    const std::string first(139, '1');
    const std::string second(139, '2');
    struct Case {
        const char* name;
        std::function<void()> meanwhile;
        std::string after;
        bool endRead;
    };
    const Case cases[] = {
        {"nothing happens", [] {}, "before\r\n" + first + "\r\n" + second + "\r\n", false},
        {"a foreign line without its CR LF", [&] { AppendToFile(DataFile(), "foreign"); },
         "before\r\n" + first + "\r\nforeign\r\n" + second + "\r\n", true},
        {"a foreign line ending in CR", [&] { AppendToFile(DataFile(), "foreign\r"); },
         "before\r\n" + first + "\r\nforeign\r\n" + second + "\r\n", true},
        {"a whole foreign line", [&] { AppendToFile(DataFile(), "foreign\r\n"); },
         "before\r\n" + first + "\r\nforeign\r\n" + second + "\r\n", true},
        {"the file lost the tail of the last record", [&] { fs::resize_file(DataFile(), 8 + 100); },
         "before\r\n" + first.substr(0, 100) + "\r\n" + second + "\r\n", true},
        {"the file lost the last record whole", [&] { fs::resize_file(DataFile(), 8); },
         "before\r\n" + second + "\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare("before\r\n");
        auto writer = Start();
        writer->Submit("LOG-241.txt", first);
        c.meanwhile();
        files.steps.clear();
        writer->Submit("LOG-241.txt", second);
        EXPECT_EQ(ReadFile(DataFile()), c.after);
        const auto steps = files.Steps();
        const bool endRead =
            std::find(steps.begin(), steps.end(), "read LOG-241.txt") != steps.end();
        EXPECT_EQ(endRead, c.endRead) << "the end is read only when the size is not ours";
        EXPECT_EQ(Written(*writer), (std::vector<std::string>{first, second}));
    }
}

// A mistyped folder keeps the scans; once it is corrected they go there, in order, each to the
// file of the day it arrived on, and the new ones behind them; across a restart too.
TEST_F(RecordStoreTest, ACorrectedFolderReleasesTheScans) {
    const std::string mistyped = dir.folder() + "dtaa/";
    {
        auto firstRun = Start(mistyped);
        firstRun->Submit("LOG-240.txt", "yesterday's");
        firstRun->Submit("LOG-241.txt", "today's");
        EXPECT_EQ(firstRun->Count(), 2u);
    }
    auto nextRun = Start(mistyped);
    nextRun->Submit("LOG-241.txt", "after the restart");
    EXPECT_EQ(nextRun->Count(), 3u);
    nextRun->SetDestination({Folder()});
    nextRun->Submit("LOG-241.txt", "new");
    EXPECT_EQ(Written(*nextRun),
              (std::vector<std::string>{"yesterday's", "today's", "after the restart", "new"}));
    EXPECT_EQ(ReadFile(Folder() + "LOG-240.txt"), "yesterday's\r\n");
    EXPECT_EQ(ReadFile(DataFile()), "before\r\ntoday's\r\nafter the restart\r\nnew\r\n");
    EXPECT_FALSE(fs::exists(mistyped));
}

// While the journal cannot take it, a kept scan is not written (nothing could prove it written
// after a crash); panel 1 says why, and it goes in once the journal works again.
TEST_F(RecordStoreTest, AScanThatCannotBeMarkedWaitsUntilItCanBe) {
    FolderGoes();
    Start()->Submit("LOG-241.txt", "kept");
    FolderComesBack();
    files.failures["open Orvane.journal"] = EACCES;
    auto writer = Start();
    EXPECT_TRUE(Written(*writer).empty());
    EXPECT_EQ(ReadFile(DataFile()), "before\r\n");
    EXPECT_TRUE(StatusText(*StatusFailure(status))
                    .starts_with("Status: 126 Scans are waiting to be written: 1 waiting; Cannot "
                                 "record in the journal where the waiting scans go, so they are "
                                 "not written yet: Cannot keep"))
        << StatusText(*StatusFailure(status));
    files.failures.clear();
    writer->Retry();
    EXPECT_EQ(Written(*writer), std::vector<std::string>{"kept"});
}

TEST_F(RecordStoreTest, AnUnreadableJournalIsLeftAloneAndEveryKeptScanSaysSo) {
    WriteFile(Journal(), "E");
    files.failures["openread Orvane.journal"] = EACCES;
    auto writer = Start();
    files.failures.clear();
    ASSERT_EQ(notices.size() + Written(*writer).size(), 0u);
    EXPECT_EQ(notices.size(), 1u);
    FolderGoes();
    writer->Submit("LOG-241.txt", "scan 1");
    (void)Written(*writer);
    EXPECT_EQ(StatusFailure(status)->code(), FailureCode::JournalWrite);
    FolderComesBack();
    writer->Retry();
    EXPECT_EQ(Written(*writer), std::vector<std::string>{"scan 1"}) << "no place is needed";
    EXPECT_EQ(ReadFile(Journal()), "E") << "what the journal held stays for a later run";
}

TEST_F(RecordStoreTest, ADamagedJournalCostsOnlyTheDamagedEntryAndIsKeptAside) {
    std::string journal;
    for (std::uint64_t seq = 1; seq <= 5; ++seq) {
        journal += ScanRecordText(seq, "LOG-241.txt", "scan " + std::to_string(seq));
    }
    const std::size_t third = journal.find("scan 3");
    std::string damaged = journal;
    damaged[third] = 'X';
    WriteFile(Journal(), damaged);
    auto writer = Start();
    EXPECT_EQ(Written(*writer), (std::vector<std::string>{"scan 1", "scan 2", "scan 4", "scan 5"}));
    ASSERT_EQ(notices.size(), 1u);
    const std::string aside = Journal() + ".damaged-20070829-140307";
    EXPECT_EQ(StatusText(notices[0]),
              "Status: 129 The journal of waiting scans was damaged: " + Journal() +
                  ": 1 entry damaged and lost; the journal as it was is "
                  "kept as " +
                  aside);
    EXPECT_EQ(ReadFile(aside), damaged);
    EXPECT_EQ(ReadFile(Journal()), "");
}

// Runs every task that is due, as the writer's threads do.
void WriteWhatIsDue(RecordStore& store, FakeFileLayer& files) {
    while (std::optional<AppendTask> task = store.NextTask()) {
        store.TaskDone(RunAppendTask(*task, files, [&](std::size_t first, std::uint64_t at) {
            return store.BeginWrite(first, at);
        }));
    }
}

// Of the scans kept in the journal only the next task's worth keep their texts in memory; the
// others are read back from the journal a task's worth at a time, in order, each written once.
TEST_F(RecordStoreTest, KeptScansAreReadBackFromTheJournalATaskAtATime) {
    std::string expected = "before\r\n";
    {
        RecordStore store(files, clock, 3);
        store.SetDestination({Folder()});
        store.OpenJournal(Journal());
        FolderGoes();
        for (int n = 1; n <= 10; ++n) {
            ASSERT_TRUE(store.Add("LOG-241.txt", "scan " + std::to_string(n)));
            expected += "scan " + std::to_string(n) + "\r\n";
            WriteWhatIsDue(store, files);
        }
        FolderComesBack();
        files.steps.clear();
        store.RetryDue();
        WriteWhatIsDue(store, files);
        EXPECT_EQ(ReadFile(DataFile()), expected);
        EXPECT_EQ(Count(files.Steps(), "read Orvane.journal"), 3)
            << "scans 1 to 3 were in memory; 4 to 6, 7 to 9 and 10 read back";
        EXPECT_EQ(ReadFile(Journal()), "");
    }
    // Across a restart every kept scan is read back, damage and all.
    Prepare("before\r\n");
    std::string journal;
    for (std::uint64_t seq = 1; seq <= 7; ++seq) {
        journal += ScanRecordText(seq, "LOG-241.txt", "kept " + std::to_string(seq));
    }
    WriteFile(Journal(), "damage\n" + journal);
    RecordStore store(files, clock, 3);
    store.OpenJournal(Journal());
    store.SetDestination({Folder()});
    WriteWhatIsDue(store, files);
    EXPECT_EQ(ReadFile(DataFile()),
              "before\r\nkept 1\r\nkept 2\r\nkept 3\r\nkept 4\r\nkept 5\r\nkept 6\r\nkept "
              "7\r\n");
    EXPECT_EQ(ReadFile(Journal()), "");
}

// With a database named, every scan's entry, with its record for the database and where its
// line goes, is in the log in one sync before its line is written; the written mark needs none.
TEST_F(RecordStoreTest, WithADatabaseEveryScanIsLoggedInOneSyncBeforeItsLineIsWritten) {
    RecordStore store(files, clock);
    store.SetDestination({Folder()});
    store.OpenJournal(Journal());
    store.SetLogEverything(true);
    store.SetKeepJournal(true);
    for (int n = 1; n <= 3; ++n) {
        CentralRecord record;
        record.barcode = "PARCEL-" + std::to_string(n);
        ASSERT_TRUE(store.Add("LOG-241.txt", "scan " + std::to_string(n), record));
    }
    files.steps.clear();
    WriteWhatIsDue(store, files);
    const std::vector<std::string> steps = files.Steps();
    const auto at = [&](const std::string& step) {
        return std::find(steps.begin(), steps.end(), step) - steps.begin();
    };
    EXPECT_EQ(Count(steps, "sync Orvane.journal"), 1);
    EXPECT_LT(at("sync Orvane.journal"), at("write LOG-241.txt"));
    EXPECT_EQ(Count(steps, "sync LOG-241.txt"), 1);
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nscan 1\r\nscan 2\r\nscan 3\r\n");
    EXPECT_EQ(store.TakeNewTableEntries(), 3u);
    const JournalIndex index = RecordJournal(files, Journal()).Load(10);
    EXPECT_TRUE(index.waiting.empty()) << "the lines are written";
    ASSERT_EQ(index.forDatabase.size(), 3u) << "the records wait for the database";
    const std::vector<std::optional<JournalScan>> kept =
        RecordJournal(files, Journal())
            .ReadBack({index.forDatabase.begin(), index.forDatabase.end()});
    ASSERT_TRUE(kept[2] && kept[2]->central);
    EXPECT_EQ(kept[2]->central->barcode, "PARCEL-3");
    EXPECT_EQ(kept[2]->central->line, "scan 3");
}

// The journal changed under the program (it should not: it is locked): a scan whose record is
// no longer whole cannot be written; it is left out and the operator told, the others written.
TEST_F(RecordStoreTest, AKeptScanWhoseRecordChangedUnderTheProgramIsReportedLost) {
    std::string journal;
    for (std::uint64_t seq = 1; seq <= 3; ++seq) {
        journal += ScanRecordText(seq, "LOG-241.txt", "kept " + std::to_string(seq));
    }
    WriteFile(Journal(), journal);
    RecordStore store(files, clock);
    store.OpenJournal(Journal());
    std::string changed = journal;
    changed[changed.find("kept 2")] = 'K';
    WriteFile(Journal(), changed);
    store.SetDestination({Folder()});
    WriteWhatIsDue(store, files);
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nkept 1\r\nkept 3\r\n");
    const WriterNews news = store.TakeNews();
    ASSERT_EQ(news.notices.size(), 1u);
    EXPECT_EQ(StatusText(news.notices[0]),
              "Status: 129 The journal of waiting scans was damaged: " + Journal() +
                  ": 1 entry damaged and lost");
    EXPECT_EQ(store.Count(), 0u);
}

// A write that does not finish in time (a share that hangs): the scan in flight, with the place
// its write began, and every scan behind it go into the journal meanwhile. Whether the write
// then completes or the program dies first, each is written exactly once.
TEST_F(RecordStoreTest, ScansBehindASlowWriteAreKeptAndWrittenOnce) {
    for (const bool writeCompletes : {true, false}) {
        SCOPED_TRACE(writeCompletes ? "the write completes, then a crash" : "a crash first");
        Prepare("before\r\n");
        try {
            RecordStore store(files, clock);
            store.SetDestination({Folder()});
            store.OpenJournal(Journal());
            ASSERT_TRUE(store.Add("LOG-241.txt", "in flight"));
            const std::optional<AppendTask> task = store.NextTask();
            ASSERT_TRUE(task);
            (void)RunAppendTask(*task, files, [&](std::size_t first, std::uint64_t offset) {
                const bool go = store.BeginWrite(first, offset);
                store.TaskSlow(Failure(FailureCode::DataFolderNotAnswering, Folder()));
                (void)store.Add("LOG-241.txt", "behind it");
                files.crashAt = writeCompletes ? -1 : static_cast<long>(files.steps.size());
                return go;
            });
            EXPECT_EQ(store.TakeNews().status->cause->code(), FailureCode::DataFolderNotAnswering);
        } catch (const SimulatedCrash&) {
        }
        files.crashAt = -1;
        auto nextRun = Start();
        EXPECT_EQ(ReadFile(DataFile()), "before\r\nin flight\r\nbehind it\r\n");
    }
}

}  // namespace
}  // namespace brisolant
