#include "store/DataFileAppender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "support/FakeFiles.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

using test::FakeFileLayer;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class DataFileAppenderTest : public ::testing::Test {
  protected:
    std::string Path() const { return dir.file("LOG-241.txt"); }

    AppendTask Task(std::vector<AppendItem> items, bool checkTail = true) const {
        AppendTask task;
        task.folder = dir.folder();
        task.fileName = "LOG-241.txt";
        task.checkTail = checkTail;
        task.items = std::move(items);
        return task;
    }

    AppendOutcome Run(const AppendTask& task) {
        return RunAppendTask(task, files, [this](std::size_t first, std::uint64_t offset) {
            gates.emplace_back(first, offset);
            return gateOpen;
        });
    }

    TempDir dir;
    FakeFileLayer files;
    std::vector<std::pair<std::size_t, std::uint64_t>> gates;
    bool gateOpen = true;
};

// A line that somebody else left torn (a power cut, a network file system) is closed before the
// next record, so that no line mixes two scans; a whole last line is left as it is.
TEST_F(DataFileAppenderTest, ANewRecordAlwaysStartsALineOfItsOwn) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"", "new\r\n"},
        {"old\r\n", "old\r\nnew\r\n"},
        {"old\n", "old\nnew\r\n"},
        {"half a li", "half a li\r\nnew\r\n"},
        {"half a line\r", "half a line\r\nnew\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        WriteFile(Path(), c.before);
        gates.clear();
        const AppendOutcome outcome = Run(Task({{"new\r\n", std::nullopt}}));
        EXPECT_FALSE(outcome.failure);
        EXPECT_EQ(ReadFile(Path()), c.after);
        ASSERT_EQ(gates.size(), 1u);
        EXPECT_EQ(gates[0].second, std::string(c.after).size() - 5) << "where the record starts";
    }
    // The end of a file whose size is where the program's own last write left it is not read.
    WriteFile(Path(), "half");
    AppendTask ours = Task({{"new\r\n", std::nullopt}});
    ours.ownEnd = 4;
    files.steps.clear();
    const AppendOutcome outcome = Run(ours);
    EXPECT_EQ(ReadFile(Path()), "halfnew\r\n") << "a size of ours is trusted";
    EXPECT_EQ(std::count(files.steps.begin(), files.steps.end(), "read LOG-241.txt"), 0);
    EXPECT_EQ(outcome.end, 9u) << "where the next write is to find the end";
    ours.ownEnd = 3;
    EXPECT_EQ(Run(ours).end, 14u);
    EXPECT_EQ(ReadFile(Path()), "halfnew\r\nnew\r\n") << "any other size is looked at";
}

// A kill can end a large write between pages, leaving part of a record at a page's end. What
// the program tore itself (a file that ends at a page boundary in the start of a record like its
// own) is cut back at its next write; anything else left open is closed, never cut.
TEST_F(DataFileAppenderTest, ARecordAKillToreIsCutBackAndNothingElseIs) {
    const std::string record = "2026/12/11,11:42:12,1    ,11.0 in     ,22.8 in     ,12.44 lb";
    const std::string whole = "2026/12/11,11:42:11,1    ,9.5 in      ,10.0 in     ,1.20 lb\r\n";
    const std::string torn = "2026/12/11,11:42:12,1    ,11.0 in     ,22.8 in";
    const auto pageOf = [&](const std::string& tail) {
        return std::string(4096 - tail.size() - whole.size(), 'x') + whole + tail;
    };
    struct Case {
        const char* name;
        std::string before;
        std::string kept;  // what stays of it before the new record
    };
    const std::string foreign = "a line of another program";
    const Case cases[] = {
        {"our record torn at a page's end", pageOf(torn),
         pageOf(torn).substr(0, 4096 - torn.size())},
        {"a torn date at a page's end", pageOf("2026/1"), pageOf("2026/1").substr(0, 4090)},
        {"another program's open line at a page's end", pageOf(foreign), pageOf(foreign) + "\r\n"},
        {"our record torn elsewhere", pageOf(torn) + "2026/12", pageOf(torn) + "2026/12\r\n"},
        {"a whole record but its line feed", pageOf(record + "\r"), pageOf(record + "\r") + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path(), c.before);
        const AppendOutcome outcome = Run(Task({{record + "\r\n", std::nullopt}}));
        EXPECT_FALSE(outcome.failure);
        EXPECT_TRUE(ReadFile(Path()) == c.kept + record + "\r\n")
            << "ends in: " << ReadFile(Path()).substr(3900);
    }
}

// A scan whose write began before a crash is looked for at its place: whole, it is not written
// again (an identical line elsewhere proves nothing); torn at the file's end, it is taken back
// and written whole; not there, it is written.
TEST_F(DataFileAppenderTest, AnEarlierWriteIsLookedForAtItsPlace) {
    const std::string line = "scan\r\n";
    struct Case {
        const char* name;
        std::string before;
        std::uint64_t offset;
        std::size_t alreadyThere;
        std::string after;
    };
    const Case cases[] = {
        {"whole at its place", "old\r\nscan\r\n", 5, 1, "old\r\nscan\r\n"},
        {"whole, more behind it", "old\r\nscan\r\nnext\r\n", 5, 1, "old\r\nscan\r\nnext\r\n"},
        {"torn at the end", "old\r\nsc", 5, 0, "old\r\nscan\r\n"},
        {"torn before its LF", "old\r\nscan\r", 5, 0, "old\r\nscan\r\n"},
        {"never begun", "old\r\n", 5, 0, "old\r\nscan\r\n"},
        {"the same line, but not its own", "scan\r\n", 6, 0, "scan\r\nscan\r\n"},
        {"other bytes at its place", "old\r\nother\r\n", 5, 0, "old\r\nother\r\nscan\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Path(), c.before);
        const AppendOutcome outcome = Run(Task({{line, LinePlace{Path(), c.offset}}}));
        EXPECT_FALSE(outcome.failure);
        EXPECT_EQ(outcome.alreadyThere, c.alreadyThere);
        EXPECT_EQ(outcome.alreadyThere + outcome.appended, 1u);
        EXPECT_EQ(ReadFile(Path()), c.after);
    }
    files.failures["openread LOG-241.txt"] = EIO;
    const AppendOutcome unknown = Run(Task({{line, LinePlace{Path(), 0}}}));
    ASSERT_TRUE(unknown.failure) << "what cannot be looked at is not written again";
    EXPECT_EQ(unknown.failure->code(), FailureCode::DataFileRead);
    EXPECT_EQ(unknown.appended, 0u);
}

// Nothing is written before the gate lets it: that is where the journal records the place.
TEST_F(DataFileAppenderTest, AClosedGateWritesNothing) {
    WriteFile(Path(), "old\r\n");
    gateOpen = false;
    const AppendOutcome outcome = Run(Task({{"new\r\n", std::nullopt}}));
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(outcome.failure->code(), FailureCode::JournalMark);
    EXPECT_EQ(ReadFile(Path()), "old\r\n");
}

// A write that fails is taken back; if even that fails the outcome says bytes may remain, so
// that the journal can record where.
TEST_F(DataFileAppenderTest, AFailedWriteIsTakenBackOrReported) {
    WriteFile(Path(), "old\r\n");
    files.failures["write LOG-241.txt"] = ENOSPC;
    AppendOutcome outcome = Run(Task({{"a\r\n", std::nullopt}, {"b\r\n", std::nullopt}}));
    EXPECT_EQ(outcome.failure->code(), FailureCode::DataFileWrite);
    EXPECT_FALSE(outcome.bytesLeft);
    EXPECT_EQ(ReadFile(Path()), "old\r\n");
    files.failures = {{"sync LOG-241.txt", EIO}, {"truncate LOG-241.txt", EIO}};
    outcome = Run(Task({{"a\r\n", std::nullopt}}));
    EXPECT_TRUE(outcome.bytesLeft);
    EXPECT_EQ(outcome.appendOffset, 5u);
}

}  // namespace
}  // namespace brisolant
