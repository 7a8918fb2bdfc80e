#include "window/RecordLines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/Failure.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant {
namespace {

using Lines = std::vector<std::string>;

class RecordLinesTest : public testing::Test {
  protected:
    std::string WriteDataFile(const std::string& name, const std::string& content) {
        const std::string path = dir.file(name);
        test::WriteFile(path, content);
        return path;
    }
    static DataFileLines Read(const std::string& path) {
        return ReadDataFileLines(path, RecordLines::kMaxShownBytes);
    }
    // "?" for a line not read yet.
    Lines Texts(std::size_t first, std::size_t count) const {
        Lines texts;
        for (const std::optional<std::string>& line : lines.Lines(first, count)) {
            texts.push_back(line.value_or("?"));
        }
        return texts;
    }
    Lines All() const { return Texts(0, lines.size()); }

    test::TempDir dir;
    RecordLines lines;
};

TEST_F(RecordLinesTest, SwitchingOnOffOnHoldsEachLineOnce) {
    const std::string path = WriteDataFile("LOG-241.txt", "one\r\ntwo\r\n");

    lines.AppendFile(Read(path));
    lines.Clear();
    lines.AppendFile(Read(path));

    EXPECT_EQ(All(), (Lines{"one", "two"}));
}

// After a day change the list holds lines of two files, each followed by the records added
// while it was the current one.
TEST_F(RecordLinesTest, LinesKeepTheOrderInWhichTheyCame) {
    const std::string day241 = WriteDataFile("LOG-241.txt", "a1\r\na2\r\n");
    const std::string day242 = WriteDataFile("LOG-242.txt", "b1\rb2");
    const std::string empty = WriteDataFile("LOG-243.txt", "");

    lines.AppendFile(Read(day241));
    lines.AppendLine("a3");
    lines.AppendLine("a4");
    lines.AppendFile(Read(day242));
    lines.AppendFile(Read(empty));
    lines.AppendLine("b3");

    EXPECT_EQ(lines.size(), 7u);
    EXPECT_EQ(All(), (Lines{"a1", "a2", "a3", "a4", "b1", "b2", "b3"}));
    // A window that starts inside one run and ends past the last line.
    EXPECT_EQ(Texts(3, 6), (Lines{"a4", "b1", "b2", "b3", "", ""}));
    EXPECT_EQ(Texts(9, 2), (Lines{"", ""}));
}

TEST_F(RecordLinesTest, AFileThatCannotBeReadFailsWithItsPath) {
    try {
        Read(dir.file("LOG-999.txt"));
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::DataFileRead);
        EXPECT_NE(failure.description().find(dir.file("LOG-999.txt")), std::string::npos);
    }
}

TEST_F(RecordLinesTest, LongLinesAreCutAndTheWidestIsKnown) {
    const std::string huge(RecordLines::kMaxShownBytes + 10, 'x');
    lines.AppendFile(Read(WriteDataFile("LOG-241.txt", "abc\r\nabcdefg\r\n")));
    EXPECT_EQ(lines.Widest(), 9u);  // the line end counts

    lines.AppendLine(huge);

    EXPECT_EQ(lines.Widest(), RecordLines::kMaxShownBytes);
    EXPECT_EQ(Texts(2, 1).front(), huge.substr(0, RecordLines::kMaxShownBytes));
}

// The file is held open while its lines are shown, and released when they are cleared: switching
// the view off frees a removable drive. It is closed on a thread of its own, since closing a
// file on a share that hangs can hang too.
TEST_F(RecordLinesTest, ClearReleasesTheFile) {
    const std::string path = WriteDataFile("LOG-241.txt", "one\r\n");
    const auto isOpen = [&path] {
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            if (std::filesystem::read_symlink(fd.path(), error).string() == path) {
                return true;
            }
        }
        return false;
    };

    lines.AppendFile(Read(path));
    EXPECT_TRUE(isOpen());
    lines.Clear();
    EXPECT_TRUE(test::WaitUntil([&] { return !isOpen(); }));
}

// While the file is read, the records written meanwhile wait; once its lines come they follow
// them, but those the file already held by the time it was read.
TEST_F(RecordLinesTest, RecordsAddedWhileTheFileIsReadFollowItsLinesOnce) {
    const std::string path = WriteDataFile("LOG-241.txt", "one\r\ntwo\r\n");
    lines.AwaitFile();
    lines.AppendRecord(path, 5, "two");  // written just before the file was read
    lines.AppendRecord(path, 10, "three");
    lines.AppendRecord(dir.file("LOG-242.txt"), 0, "next day");
    EXPECT_TRUE(lines.AwaitingFile());
    EXPECT_EQ(lines.size(), 0u);

    lines.AppendFile(Read(path));

    EXPECT_FALSE(lines.AwaitingFile());
    EXPECT_EQ(All(), (Lines{"one", "two", "three", "next day"}));
    lines.AppendRecord(path, 0, "one");
    lines.AppendRecord(path, 15, "four");
    EXPECT_EQ(All(), (Lines{"one", "two", "three", "next day", "four"}));
}

// A file's newest lines come with it; the others are read a block at a time when wanted, and
// only the blocks nearest the last one read are kept.
TEST_F(RecordLinesTest, AFilesLinesAreReadInBlocksAndThoseNearTheLastReadKept) {
    const std::size_t blocks = RecordLines::kKeptBlocks + 4;
    std::string content;
    for (std::size_t i = 0; i < blocks * kRowsPerBlock; ++i) {
        content += "line " + std::to_string(i) + "\r\n";
    }
    const DataFileLines file = Read(WriteDataFile("LOG-241.txt", content));
    lines.AppendFile(file);
    lines.AppendLine("appended");
    const std::size_t last = blocks * kRowsPerBlock - 1;

    EXPECT_EQ(Texts(last, 2), (Lines{"line " + std::to_string(last), "appended"}));
    EXPECT_EQ(Texts(0, 1), Lines{"?"});
    const std::vector<RowsWanted> wanted = lines.Missing(kRowsPerBlock - 1, 2);
    ASSERT_EQ(wanted.size(), 2u);
    EXPECT_EQ(wanted[0].file, file.file);
    EXPECT_EQ(wanted[0].block, 0u);
    EXPECT_EQ(wanted[1].block, 1u);
    EXPECT_TRUE(lines.Missing(last - kRowsPerBlock, kRowsPerBlock + 2).empty());

    for (std::size_t block = 0; block < blocks - 2; ++block) {
        lines.TakeRows(ReadRowBlock(file.file, block, RecordLines::kMaxShownBytes));
    }
    // Blocks 0 to 3 were the farthest from each block read once the store was full.
    const auto row = [](std::size_t i) { return Lines{"line " + std::to_string(i)}; };
    EXPECT_EQ(Texts(4 * kRowsPerBlock - 1, 1), Lines{"?"});
    EXPECT_EQ(Texts(4 * kRowsPerBlock, 1), row(4 * kRowsPerBlock));
    EXPECT_EQ(Texts(last, 1), row(last));

    lines.Clear();
    lines.TakeRows(ReadRowBlock(file.file, 0, RecordLines::kMaxShownBytes));
    EXPECT_EQ(lines.size(), 0u) << "rows of a file no longer shown are dropped";
}

}  // namespace
}  // namespace brisolant
