#include "scan/RecordJournal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

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
    EXPECT_EQ(files.steps, (std::vector<std::string>{"open Orvane.journal", "stat Orvane.journal",
                                                     "write Orvane.journal", "sync Orvane.journal",
                                                     "close Orvane.journal"}));
    EXPECT_EQ(journal.Load(10).waiting.size(), 1u);
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
    journal.Rewrite(ScanRecordText(1, "LOG-241.txt", "whole"));
    EXPECT_EQ(ReadFile(aside), "damaged\n" + ScanRecordText(1, "LOG-241.txt", "whole"));
    EXPECT_EQ(ReadFile(Path()), ScanRecordText(1, "LOG-241.txt", "whole"));
    EXPECT_EQ(test::FailureCodeOf([&] { journal.KeepAside(".damaged-20261210-191500"); }),
              FailureCode::JournalWrite)
        << "an earlier copy is never replaced";
}

TEST(JournalPathForTest, LivesBesideTheSettingsFileNamedAfterIt) {
    EXPECT_EQ(JournalPathFor("/opt/brisolant/Orvane.ini"), "/opt/brisolant/Orvane.journal");
    EXPECT_EQ(JournalPathFor("/etc/site.conf"), "/etc/site.conf.journal");
}

}  // namespace
}  // namespace brisolant
