#include "scan/PendingScans.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "support/FailureOf.h"
#include "support/FakeFiles.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::FakeFileLayer;
using test::FakeRetryTimer;
using test::ReadFile;
using test::SimulatedCrash;
using test::TempDir;
using test::WriteFile;

// A data folder that can go away and come back, a journal beside it, and one run of the
// program's waiting queue over them.
class PendingScansTest : public ::testing::Test {
  protected:
    PendingScansTest() {
        fs::create_directory(Folder());
        WriteFile(DataFile(), "before\r\n");
    }

    std::string Folder() const { return dir.folder() + "data/"; }
    std::string DataFile() const { return Folder() + "LOG-241.txt"; }
    std::string Journal() const { return dir.file("Orvane.journal"); }
    WaitingScan Scan(int n) const { return {Folder(), "LOG-241.txt", "scan " + std::to_string(n)}; }
    void FolderGoes() { fs::rename(Folder(), dir.file("aside")); }
    void FolderComesBack() { fs::rename(dir.file("aside"), Folder()); }

    // Keeps scans 1 to count while the folder is away.
    void KeepWhileFolderIsAway(PendingScans& pending, int count) {
        for (int n = 1; n <= count; ++n) {
            pending.Keep(Scan(n));
        }
    }

    // Writes out, returning the lines reported written; a data-file failure ends it.
    std::vector<std::string> WriteOut(PendingScans& pending) {
        std::vector<std::string> written;
        try {
            pending.WriteOut([&](const WaitingScan& scan) { written.push_back(scan.line); });
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), FailureCode::DataFileOpen) << failure.what();
        }
        return written;
    }

    TempDir dir;
    FakeFileLayer files;
    FakeRetryTimer timer;
};

TEST_F(PendingScansTest, ScansWaitInOrderWhileTheTimerRunsAndAreWrittenOldestFirst) {
    PendingScans pending(files, timer);
    pending.OpenJournal(Journal());
    EXPECT_FALSE(timer.running) << "nothing waits, nothing ticks";
    FolderGoes();
    KeepWhileFolderIsAway(pending, 3);
    EXPECT_TRUE(timer.running);
    EXPECT_TRUE(WriteOut(pending).empty()) << "the folder is still away";
    EXPECT_EQ(pending.Count(), 3u);
    EXPECT_FALSE(fs::exists(Folder())) << "the data folder is never made";

    FolderComesBack();
    EXPECT_EQ(WriteOut(pending), (std::vector<std::string>{"scan 1", "scan 2", "scan 3"}));
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nscan 1\r\nscan 2\r\nscan 3\r\n");
    EXPECT_EQ(pending.Count(), 0u);
    EXPECT_FALSE(timer.running);
    EXPECT_EQ(ReadFile(Journal()), "") << "an empty queue leaves an empty journal";
}

TEST_F(PendingScansTest, WaitingScansOutliveTheProgram) {
    {
        PendingScans firstRun(files, timer);
        firstRun.OpenJournal(Journal());
        FolderGoes();
        KeepWhileFolderIsAway(firstRun, 2);
    }
    FolderComesBack();
    FakeRetryTimer nextTimer;
    PendingScans nextRun(files, nextTimer);
    nextRun.OpenJournal(Journal());
    EXPECT_EQ(nextRun.Count(), 2u);
    EXPECT_TRUE(nextTimer.running);
    EXPECT_EQ(WriteOut(nextRun), (std::vector<std::string>{"scan 1", "scan 2"}));
    EXPECT_EQ(ReadFile(DataFile()), "before\r\nscan 1\r\nscan 2\r\n");
}

// The program dies at every file operation of writing three kept scans out, and of taking in a
// fourth: the next run writes each of them exactly once, in order (the fourth only when its
// entry was whole).
TEST_F(PendingScansTest, CrashAtAnyStepNeitherLosesNorDoublesAScan) {
    const auto prepare = [this] {
        fs::remove_all(dir.file("aside"));
        fs::remove_all(Folder());
        fs::remove(Journal());
        fs::create_directory(Folder());
        WriteFile(DataFile(), "before\r\n");
        PendingScans pending(files, timer);
        pending.OpenJournal(Journal());
        FolderGoes();
        KeepWhileFolderIsAway(pending, 3);
        FolderComesBack();
    };
    // A clean run counts the steps to crash at.
    prepare();
    files.steps.clear();
    {
        PendingScans pending(files, timer);
        pending.OpenJournal(Journal());
        WriteOut(pending);
        pending.Keep(Scan(4));
    }
    const long steps = static_cast<long>(files.steps.size());
    ASSERT_GT(steps, 12);

    for (long crashAt = 0; crashAt < steps; ++crashAt) {
        SCOPED_TRACE("crash at step " + std::to_string(crashAt) + " of " + std::to_string(steps));
        prepare();
        files.steps.clear();
        files.crashAt = crashAt;
        bool fourthKept = false;
        try {
            PendingScans pending(files, timer);
            pending.OpenJournal(Journal());
            WriteOut(pending);
            pending.Keep(Scan(4));
            fourthKept = true;
        } catch (const SimulatedCrash&) {
        }
        files.crashAt = -1;
        PendingScans nextRun(files, timer);
        try {
            nextRun.OpenJournal(Journal());
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), FailureCode::JournalDamaged);
        }
        const bool fourthInJournal =
            nextRun.Count() > 0 && ReadFile(Journal()).find("scan 4") != std::string::npos;
        WriteOut(nextRun);
        std::string expected = "before\r\nscan 1\r\nscan 2\r\nscan 3\r\n";
        if (fourthInJournal) {
            expected += "scan 4\r\n";
        }
        EXPECT_EQ(ReadFile(DataFile()), expected);
        EXPECT_FALSE(fourthKept && !fourthInJournal) << "a kept scan was lost";
    }
}

TEST_F(PendingScansTest, FullQueueRefusesNewScansAndKeepsTheOldest) {
    PendingScans pending(files, timer);  // no journal: memory only, so the test stays quick
    FolderGoes();
    for (std::size_t n = 0; n < PendingScans::kLimit; ++n) {
        pending.Keep({Folder(), "LOG-241.txt", "scan"});
    }
    EXPECT_EQ(test::FailureCodeOf([&] { pending.Keep(Scan(0)); }), FailureCode::JournalFull);
    EXPECT_EQ(pending.Count(), PendingScans::kLimit);
}

// A journal that misses a change is written afresh once it works again, so that a later crash
// restores exactly the scans that wait.
TEST_F(PendingScansTest, JournalThatFailedIsBroughtBackInStep) {
    PendingScans pending(files, timer);
    pending.OpenJournal(Journal());
    FolderGoes();
    pending.Keep(Scan(1));
    files.failures = {{"open Orvane.journal", EACCES}};
    EXPECT_THROW(pending.Keep(Scan(2)), Failure);
    EXPECT_EQ(pending.Count(), 2u) << "the scan waits in memory all the same";
    files.failures.clear();
    pending.Keep(Scan(3));

    FolderComesBack();
    PendingScans nextRun(files, timer);
    nextRun.OpenJournal(Journal());
    EXPECT_EQ(WriteOut(nextRun), (std::vector<std::string>{"scan 1", "scan 2", "scan 3"}));
}

TEST_F(PendingScansTest, UnreadableJournalIsLeftAloneAndEveryKeptScanSaysSo) {
    WriteFile(Journal(), "E");
    files.failures = {{"read Orvane.journal", EACCES}};
    PendingScans pending(files, timer);
    EXPECT_THROW(pending.OpenJournal(Journal()), Failure);
    files.failures.clear();
    FolderGoes();
    EXPECT_EQ(test::FailureCodeOf([&] { pending.Keep(Scan(1)); }), FailureCode::JournalWrite);
    EXPECT_EQ(pending.Count(), 1u);
    FolderComesBack();
    EXPECT_EQ(WriteOut(pending), std::vector<std::string>{"scan 1"});
    EXPECT_EQ(ReadFile(Journal()), "E") << "what the journal held stays for a later run";
}

}  // namespace
}  // namespace brisolant
