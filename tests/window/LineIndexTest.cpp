#include "window/LineIndex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

std::vector<std::string> AllLines(const LineIndex& index) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < index.size(); ++i) {
        lines.push_back(index.Line(i));
    }
    return lines;
}

struct SplitCase {
    const char* name;
    std::string content;
    std::vector<std::string> lines;
};

void PrintTo(const SplitCase& row, std::ostream* out) {
    *out << row.name << " " << testing::PrintToString(row.content);
}

class LineIndexSplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(LineIndexSplitTest, FindsEveryLineWithoutItsLineEnd) {
    test::TempDir dir;
    const std::string path = dir.file("LOG-241.txt");
    test::WriteFile(path, GetParam().content);

    const LineIndex index(path);

    EXPECT_EQ(AllLines(index), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineIndexSplitTest,
    testing::Values(SplitCase{"EmptyFileHasNoLines", "", {}},
                    SplitCase{"CrLfEndsALine", "one\r\ntwo\r\n", {"one", "two"}},
                    SplitCase{"LoneCrEndsALine", "one\rtwo\r", {"one", "two"}},
                    SplitCase{"LastLineWithoutLineEndCounts", "one\r\ntwo", {"one", "two"}},
                    SplitCase{"LoneLfIsPartOfTheText", "a\nb\r\n\nc\n", {"a\nb", "\nc\n"}},
                    SplitCase{"LfBeforeCrIsPartOfTheText", "a\n\r\nb\n\r", {"a\n", "b\n"}},
                    SplitCase{"EmptyLinesBetweenLineEnds", "\r\n\rx\r\n", {"", "", "x"}},
                    SplitCase{"OnlyALineEnd", "\r\n", {""}},
                    SplitCase{"EightBitBytesKept", "\xE9t\xE9\r\n\xFF", {"\xE9t\xE9", "\xFF"}}),
    [](const testing::TestParamInfo<SplitCase>& row) { return row.param.name; });

// The file is read in 1 MiB blocks: a CR LF cut by a block boundary is still one line end, and a
// CR that ends a block ends its line even when the next block begins with another byte.
TEST(LineIndexTest, LineEndSplitAcrossReadBlocks) {
    test::TempDir dir;
    const std::string path = dir.file("big.txt");
    const std::size_t block = std::size_t{1} << 20;
    std::string first(block - 1, 'a');
    std::string second(block - 2, 'b');
    test::WriteFile(path, first + "\r\n" + second + "\r" + "c\n");

    const LineIndex index(path);

    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index.Line(0), first);
    EXPECT_EQ(index.Line(1), second);
    EXPECT_EQ(index.Line(2), "c\n");
}

TEST(LineIndexTest, ManyRecordLinesReadBackInAnyOrder) {
    test::TempDir dir;
    const std::string path = dir.file("LOG-241.txt");
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += std::to_string(i) + std::string(134, ' ') + "\r\n";
    }
    test::WriteFile(path, content);

    const LineIndex index(path);

    ASSERT_EQ(index.size(), 20000u);
    EXPECT_EQ(index.Line(19999).substr(0, 5), "19999");
    EXPECT_EQ(index.Line(7).substr(0, 2), "7 ");
    EXPECT_EQ(index.Line(12345).size(), 139u);
}

TEST(LineIndexTest, LineIsCutToTheBytesAskedFor) {
    test::TempDir dir;
    const std::string path = dir.file("LOG-241.txt");
    test::WriteFile(path, "abcdef\r\nxy\r\nabc");

    const LineIndex index(path);

    EXPECT_EQ(index.Line(0, 3), "abc");
    EXPECT_EQ(index.Line(1, 2), "xy");
    EXPECT_EQ(index.Line(1, 3), "xy");
    EXPECT_EQ(index.Line(2, 2), "ab");
    EXPECT_EQ(index.Line(2, 0), "");
    EXPECT_EQ(index.Line(3), "");
}

// Whatever happens to the file after it was indexed, its lines read as they were indexed, or
// as empty where they are gone: never as text from other places of another file.
struct ChangeCase {
    const char* name;
    void (*change)(const std::string& path, const test::TempDir& dir);
    std::vector<std::string> lines;
};

void PrintTo(const ChangeCase& row, std::ostream* out) {
    *out << row.name;
}

class LineIndexChangeTest : public testing::TestWithParam<ChangeCase> {};

TEST_P(LineIndexChangeTest, ReadsTheLinesAsIndexed) {
    test::TempDir dir;
    const std::string path = dir.file("LOG-241.txt");
    test::WriteFile(path, "one\r\ntwo\r\n");
    const LineIndex index(path);

    GetParam().change(path, dir);

    EXPECT_EQ(AllLines(index), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineIndexChangeTest,
    testing::Values(
        ChangeCase{"Untouched", [](const std::string&, const test::TempDir&) {}, {"one", "two"}},
        ChangeCase{"LinesAppended",
                   [](const std::string& path, const test::TempDir&) {
                       test::WriteFile(path, "one\r\ntwo\r\nthree\r\n");
                   },
                   {"one", "two"}},
        ChangeCase{"ReplacedByAnotherFile",
                   [](const std::string& path, const test::TempDir& dir) {
                       test::WriteFile(dir.file("new"), "ONE\r\nTWO\r\nthree\r\n");
                       std::filesystem::rename(dir.file("new"), path);
                   },
                   {"one", "two"}},
        ChangeCase{
            "Removed",
            [](const std::string& path, const test::TempDir&) { std::filesystem::remove(path); },
            {"one", "two"}},
        ChangeCase{
            "CutShorterInPlace",
            [](const std::string& path, const test::TempDir&) { test::WriteFile(path, "one\r\n"); },
            {"one", ""}},
        ChangeCase{"WrittenOverInPlaceWithOtherLines",
                   [](const std::string& path, const test::TempDir&) {
                       test::WriteFile(path, "x\r\ny\r\nzzz\r\n");
                   },
                   {"", ""}}),
    [](const testing::TestParamInfo<ChangeCase>& row) { return row.param.name; });

TEST(LineIndexTest, FileThatCannotBeReadFailsWithItsPath) {
    test::TempDir dir;
    const std::string missing = dir.file("LOG-001.txt");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    for (const std::string& path : {missing, dir.path().string(), fifo}) {
        SCOPED_TRACE(path);
        try {
            const LineIndex index(path);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), FailureCode::DataFileRead);
            EXPECT_NE(failure.description().find(path + ": "), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace brisolant
