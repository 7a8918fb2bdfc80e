#include "store/RecordJournal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
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
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class RecordJournalTest : public ::testing::Test {
  protected:
    std::string Path() const { return dir.file("Orvane.journal"); }

    TempDir dir;
    FakeFileLayer files;
    RecordJournal journal{files, Path()};
};

TEST_F(RecordJournalTest, EveryChangeIsSyncedBeforeItCounts) {
    EXPECT_TRUE(journal.Load(10).waiting.empty()) << "no journal holds nothing";
    files.steps.clear();
    journal.Append(ScanRecordText(1, "LOG-241.txt", "line"));
    // A new journal outlives a power cut only once its folder's entry is on the disk.
    const std::string folder =
        "syncfolder " + fs::path(dir.folder()).parent_path().filename().string();
    EXPECT_EQ(files.steps,
              (std::vector<std::string>{"open Orvane.journal", folder, "stat Orvane.journal",
                                        "write Orvane.journal", "sync Orvane.journal",
                                        "close Orvane.journal"}));
    files.steps.clear();
    journal.Append(ScanRecordText(2, "LOG-241.txt", "line"));
    EXPECT_EQ(files.steps, (std::vector<std::string>{"open Orvane.journal", "stat Orvane.journal",
                                                     "write Orvane.journal", "sync Orvane.journal",
                                                     "close Orvane.journal"}));
    EXPECT_EQ(journal.Load(10).waiting.size(), 2u);
    journal.Clear();
    EXPECT_EQ(ReadFile(Path()), "");
}

TEST_F(RecordJournalTest, AFailedAppendLeavesNoTornRecord) {
    const std::string kept = ScanRecordText(1, "LOG-241.txt", "kept");
    journal.Append(kept);
    for (const char* step :
         {"open Orvane.journal", "write Orvane.journal", "sync Orvane.journal"}) {
        SCOPED_TRACE(step);
        files.failures = {{step, EIO}};
        EXPECT_EQ(test::FailureCodeOf(
                      [&] { journal.Append(ScanRecordText(2, "LOG-241.txt", "not kept")); }),
                  FailureCode::JournalWrite);
        files.failures.clear();
        EXPECT_EQ(ReadFile(Path()), kept);
    }
    files.failures = {{"read Orvane.journal", EACCES}};
    EXPECT_EQ(test::FailureCodeOf([&] { journal.Load(10); }), FailureCode::JournalRead);
}

// An append that failed and could not be cut off again is cut off before the next one, so that
// its torn record never hides the next.
TEST_F(RecordJournalTest, AFailedAppendThatCouldNotBeCutOffIsCutOffBeforeTheNext) {
    const std::string kept = ScanRecordText(1, "LOG-241.txt", "kept");
    journal.Append(kept);
    files.failures = {{"sync Orvane.journal", EIO}, {"truncate Orvane.journal", EIO}};
    EXPECT_EQ(
        test::FailureCodeOf([&] { journal.Append(ScanRecordText(2, "LOG-241.txt", "not kept")); }),
        FailureCode::JournalWrite);
    files.failures.clear();
    EXPECT_NE(ReadFile(Path()), kept) << "the torn record is still there";
    const std::string next = ScanRecordText(3, "LOG-241.txt", "next");
    journal.Append(next);
    EXPECT_EQ(ReadFile(Path()), kept + next);
}

// A journal in a link's place is somebody else's file: it is neither read nor written, and the
// link's target is left as it was.
TEST_F(RecordJournalTest, ALinkInTheJournalsPlaceIsNeverFollowed) {
    const std::string target = dir.file("target");
    WriteFile(target, "somebody else's file\n");
    fs::create_symlink(target, Path());
    EXPECT_EQ(test::FailureCodeOf([&] { journal.Load(10); }), FailureCode::JournalRead);
    EXPECT_EQ(test::FailureCodeOf([&] { journal.Append(DoneRecordText(1)); }),
              FailureCode::JournalWrite);
    EXPECT_EQ(test::FailureCodeOf([&] { journal.Clear(); }), FailureCode::JournalWrite);
    EXPECT_EQ(ReadFile(target), "somebody else's file\n");
}

TEST_F(RecordJournalTest, KeptAsideTheJournalStaysAsItWasWhileTheJournalIsRewritten) {
    journal.Append("damaged\n" + ScanRecordText(1, "LOG-241.txt", "whole"));
    const std::string aside = journal.KeepAside(".damaged-20261210-191500");
    EXPECT_EQ(aside, Path() + ".damaged-20261210-191500");
    int pieces = 0;
    journal.Rewrite([&](std::string& piece) {
        piece = pieces++ == 0 ? ScanRecordText(1, "LOG-241.txt", "whole") : "";
        return 0;
    });
    EXPECT_EQ(ReadFile(aside), "damaged\n" + ScanRecordText(1, "LOG-241.txt", "whole"));
    EXPECT_EQ(ReadFile(Path()), ScanRecordText(1, "LOG-241.txt", "whole"));
    EXPECT_EQ(test::FailureCodeOf([&] { journal.KeepAside(".damaged-20261210-191500"); }),
              FailureCode::JournalWrite)
        << "an earlier copy is never replaced";
}

// The scans' texts stay in the file until wanted: read back by where their records begin, in
// pieces however long the journal, a record no longer whole as nothing.
TEST_F(RecordJournalTest, KeptScansAreReadBackFromWhereTheirRecordsBegin) {
    // Written in one append (one sync), as a flood's records would be many to a sync.
    std::vector<JournalEntry> entries;
    std::string records;
    for (std::uint64_t seq = 1; seq <= 3000; ++seq) {
        const std::string line = std::to_string(seq) + std::string(139, 'x');
        entries.push_back({seq, records.size()});
        records += ScanRecordText(seq, "LOG-241.txt", line) +
                   PlaceRecordText(seq, {"/data/LOG-241.txt", seq});
    }
    const std::uint64_t begin = journal.Append(records);
    for (JournalEntry& entry : entries) {
        entry.at += begin;
    }
    ASSERT_GT(fs::file_size(Path()), 2 * 256 * 1024u) << "more than one piece";
    EXPECT_EQ(journal.Load(10000).waiting,
              std::deque<JournalEntry>(entries.begin(), entries.end()));

    std::vector<JournalEntry> wanted = {entries[0],    entries[1700],          entries[1701],
                                        entries[2999], {7, entries[6].at + 1}, {9, entries[7].at}};
    const auto scans = journal.ReadBack(wanted);
    ASSERT_EQ(scans.size(), wanted.size());
    EXPECT_EQ(scans[0]->line, "1" + std::string(139, 'x'));
    EXPECT_EQ(scans[0]->fileName, "LOG-241.txt");
    EXPECT_EQ(scans[1]->line, "1701" + std::string(139, 'x'));
    EXPECT_EQ(scans[2]->seq, 1702u);
    EXPECT_EQ(scans[3]->line, "3000" + std::string(139, 'x'));
    EXPECT_FALSE(scans[4]) << "not where a record begins";
    EXPECT_FALSE(scans[5]) << "another scan's record";
    files.failures = {{"read Orvane.journal", EIO}};
    EXPECT_EQ(test::FailureCodeOf([&] { journal.ReadBack(wanted); }), FailureCode::JournalRead);
}

TEST(JournalPathForTest, LivesBesideTheSettingsFileNamedAfterIt) {
    EXPECT_EQ(JournalPathFor("/opt/brisolant/Orvane.ini"), "/opt/brisolant/Orvane.journal");
    EXPECT_EQ(JournalPathFor("/etc/site.conf"), "/etc/site.conf.journal");
}

}  // namespace
}  // namespace brisolant
