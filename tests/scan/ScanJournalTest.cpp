#include "scan/ScanJournal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <string>

#include "common/Failure.h"
#include "support/FailureOf.h"
#include "support/FakeFiles.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using test::FakeFileLayer;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Texts that a careless format would split in the wrong place.
const WaitingScan kScans[] = {
    {"/data/", "LOG-241.txt", "2007/08/29,14:03:07,1    ,11.0 in"},
    {"/mnt/share 2/12 34 5/", "LOG-B 7.txt", "E12345678 9 9 9 W\\n"},
    {std::string("/odd\nfolder\r/"), "LOG-.txt", ""},
};

class ScanJournalTest : public ::testing::Test {
  protected:
    std::deque<WaitingScan> Load(bool expectDamage = false) {
        const ScanJournal::Contents contents = journal.Load();
        EXPECT_EQ(contents.damaged, expectDamage);
        return contents.waiting;
    }

    TempDir dir;
    FakeFileLayer files;
    ScanJournal journal{files, dir.file("Orvane.journal")};
};

TEST_F(ScanJournalTest, KeepsScansInOrderAndDropsTheWrittenOnes) {
    EXPECT_TRUE(Load().empty()) << "no journal holds nothing";
    for (const WaitingScan& scan : kScans) {
        journal.Add(scan);
    }
    EXPECT_EQ(Load(), (std::deque<WaitingScan>{kScans[0], kScans[1], kScans[2]}));
    journal.MarkOldestWritten();
    EXPECT_EQ(Load(), (std::deque<WaitingScan>{kScans[1], kScans[2]}));
    journal.Clear();
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(ReadFile(journal.path()), "");
}

TEST_F(ScanJournalTest, EveryChangeIsSyncedBeforeItCounts) {
    journal.Add(kScans[0]);
    journal.MarkOldestWritten();
    const std::vector<std::string> append = {"open Orvane.journal", "size Orvane.journal",
                                             "write Orvane.journal", "sync Orvane.journal",
                                             "close Orvane.journal"};
    std::vector<std::string> expected = append;
    expected.insert(expected.end(), append.begin(), append.end());
    EXPECT_EQ(files.steps, expected);
}

// A crash in the middle of writing an entry leaves any prefix of it, or zeros where the file
// system had grown the file: only that last entry is lost, and the next one is found again.
TEST_F(ScanJournalTest, DamagedTailLosesOnlyTheLastEntry) {
    struct Case {
        std::string name;
        std::string tail;  // after a whole entry for kScans[0]
        std::deque<WaitingScan> kept;
    };
    const std::string last = JournalEntry(kScans[1]);
    std::vector<Case> cases;
    for (std::size_t cut = 1; cut < last.size(); ++cut) {
        cases.push_back({"cut at " + std::to_string(cut), last.substr(0, cut), {kScans[0]}});
    }
    cases.push_back({"zeros", std::string(40, '\0'), {kScans[0]}});
    std::string flipped = last;
    flipped[last.size() / 2] ^= 1;
    cases.push_back({"changed byte", flipped, {kScans[0]}});
    cases.push_back({"mark with nothing waiting", "W\nW\n" + last, {}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(journal.path(), JournalEntry(kScans[0]) + c.tail);
        EXPECT_EQ(Load(true), c.kept);
        // The damage is cut off: an entry added now is found at the next start.
        journal.Add(kScans[2]);
        std::deque<WaitingScan> kept = c.kept;
        kept.push_back(kScans[2]);
        EXPECT_EQ(Load(), kept);
    }
}

TEST_F(ScanJournalTest, FailuresAreReportedAndLeaveNoTornEntry) {
    journal.Add(kScans[0]);
    for (const char* step :
         {"open Orvane.journal", "write Orvane.journal", "sync Orvane.journal"}) {
        SCOPED_TRACE(step);
        files.failures = {{step, EIO}};
        EXPECT_EQ(test::FailureCodeOf([&] { journal.Add(kScans[1]); }), FailureCode::JournalWrite);
        files.failures.clear();
        EXPECT_EQ(Load(), std::deque<WaitingScan>{kScans[0]});
    }
    files.failures = {{"read Orvane.journal", EACCES}};
    EXPECT_EQ(test::FailureCodeOf([&] { journal.Load(); }), FailureCode::JournalRead);
}

TEST_F(ScanJournalTest, RewriteReplacesTheWholeJournal) {
    journal.Add(kScans[0]);
    journal.Rewrite({kScans[1], kScans[2]});
    EXPECT_EQ(Load(), (std::deque<WaitingScan>{kScans[1], kScans[2]}));
}

TEST(JournalPathForTest, LivesBesideTheSettingsFileNamedAfterIt) {
    EXPECT_EQ(JournalPathFor("/opt/brisolant/Orvane.ini"), "/opt/brisolant/Orvane.journal");
    EXPECT_EQ(JournalPathFor("/home/op/.config/Orvane/Orvane.ini"),
              "/home/op/.config/Orvane/Orvane.journal");
    EXPECT_EQ(JournalPathFor("/etc/site.conf"), "/etc/site.conf.journal");
}

}  // namespace
}  // namespace brisolant
