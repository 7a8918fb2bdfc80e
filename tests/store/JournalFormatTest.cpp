#include "store/JournalFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/JournalText.h"

namespace brisolant {
namespace {

using test::JournalContents;
using test::ReadJournalText;

constexpr std::size_t kNoLimit = 1000;

// Texts that a careless format would split in the wrong place.
const JournalScan kScans[] = {
    {1, "LOG-241.txt", "2007/08/29,14:03:07,1    ,11.0 in", std::nullopt, std::nullopt},
    {2, "LOG-B 7.txt", "S12345678 9 9 9 D\\n P W", std::nullopt, std::nullopt},
    {3, "LOG-.txt", "", std::nullopt, std::nullopt},
    {4, "LOG-242.txt", "line\rwith a CR", std::nullopt, std::nullopt},
    {5, "LOG-242.txt", "fifth", std::nullopt, std::nullopt},
};

std::string Entries(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += ScanRecordText(kScans[i].seq, kScans[i].fileName, kScans[i].line);
    }
    return text;
}

std::vector<std::uint64_t> Seqs(const JournalContents& contents) {
    std::vector<std::uint64_t> seqs;
    for (const JournalScan& scan : contents.waiting) {
        seqs.push_back(scan.seq);
    }
    return seqs;
}

TEST(JournalFormatTest, ScansPlacesAndDoneMarksReadBackAsWritten) {
    const LinePlace place{"/mnt/share 2/LOG-241.txt", 4096};
    const std::string text = Entries(5) + PlaceRecordText(2, place) + DoneRecordText(1) +
                             PlaceRecordText(9, {"/elsewhere", 1});
    const JournalContents contents = ReadJournalText(text, kNoLimit);
    ASSERT_EQ(contents.waiting.size(), 4u);
    EXPECT_EQ(contents.waiting[0].fileName, kScans[1].fileName);
    EXPECT_EQ(contents.waiting[0].line, kScans[1].line);
    EXPECT_EQ(contents.waiting[0].place, place);
    EXPECT_EQ(contents.waiting[1], kScans[2]);
    EXPECT_EQ(contents.waiting[2], kScans[3]);
    EXPECT_EQ(contents.lastSeq, 5u);
    EXPECT_EQ(contents.damaged, 0u);
    EXPECT_FALSE(contents.earlierFormat);
    EXPECT_TRUE(ReadJournalText(Entries(5) + DoneRecordText(5), kNoLimit).waiting.empty());
}

// The earlier program's journal: entries with their folder, numbered by their order, and a
// mark for each written one.
TEST(JournalFormatTest, TheEarlierProgramsJournalIsStillRead) {
    const auto entry = [](const std::string& folder, const std::string& name,
                          const std::string& line) {
        std::string checked = std::to_string(folder.size()) + ' ' + std::to_string(name.size()) +
                              ' ' + std::to_string(line.size()) + ' ' + folder + name + line;
        std::uint32_t hash = 2166136261u;
        for (const char c : checked) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 16777619u;
        }
        char check[9];
        std::snprintf(check, sizeof check, "%08x", static_cast<unsigned>(hash));
        return "E" + std::string(check) + ' ' + checked + '\n';
    };
    const std::string text = entry("/data/", "LOG-241.txt", "first") +
                             entry("/data/", "LOG-241.txt", "second") + "W\n" +
                             entry("/mnt/x/", "LOG-242.txt", "third");
    const JournalContents contents = ReadJournalText(text, kNoLimit);
    ASSERT_EQ(contents.waiting.size(), 2u);
    EXPECT_EQ(contents.waiting[0].line, "second");
    EXPECT_EQ(contents.waiting[1].fileName, "LOG-242.txt");
    EXPECT_EQ(Seqs(contents), (std::vector<std::uint64_t>{2, 3}));
    EXPECT_TRUE(contents.earlierFormat);
}

// A damaged entry costs that entry alone: reading takes up again at the next record whose check
// holds, and says how many were lost.
TEST(JournalFormatTest, DamageCostsOnlyTheDamagedEntries) {
    const std::string third = ScanRecordText(3, kScans[2].fileName, kScans[2].line);
    const std::string five = Entries(5);
    const std::size_t thirdAt = five.find(third);
    struct Case {
        std::string name;
        std::string text;
        std::vector<std::uint64_t> kept;
        std::size_t damaged;
    };
    std::vector<Case> cases;
    for (std::size_t at = 0; at < third.size(); ++at) {
        std::string flipped = five;
        flipped[thirdAt + at] ^= 0x01;
        cases.push_back(
            {"byte " + std::to_string(at) + " of entry 3 changed", flipped, {1, 2, 4, 5}, 1});
    }
    cases.push_back(
        {"a garbage first line", "garbage, not a journal\n" + five, {1, 2, 3, 4, 5}, 1});
    cases.push_back({"garbage lines between",
                     Entries(2) + "x\ny\n" + five.substr(Entries(2).size()),
                     {1, 2, 3, 4, 5},
                     2});
    // An append cut short by a crash, or zeros a file system left in its place, is no damage:
    // nothing relied on it.
    cases.push_back({"zeros at the end", five + std::string(40, '\0'), {1, 2, 3, 4, 5}, 0});
    cases.push_back({"a stray written mark", "W\n" + five, {1, 2, 3, 4, 5}, 1});
    cases.push_back({"a number out of order",
                     five + ScanRecordText(2, "LOG-x.txt", "again"),
                     {1, 2, 3, 4, 5},
                     1});
    const std::string last = ScanRecordText(6, "LOG-243.txt", "the last one, cut by a crash");
    for (std::size_t cut = 1; cut < last.size(); ++cut) {
        cases.push_back({"last entry cut at " + std::to_string(cut),
                         five + last.substr(0, cut),
                         {1, 2, 3, 4, 5},
                         0});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const JournalContents contents = ReadJournalText(c.text, kNoLimit);
        EXPECT_EQ(Seqs(contents), c.kept);
        EXPECT_EQ(contents.damaged, c.damaged);
    }
}

TEST(JournalFormatTest, AtMostTheLimitIsTakenAndTheRestCounted) {
    const JournalContents contents = ReadJournalText(Entries(5), 3);
    EXPECT_EQ(Seqs(contents), (std::vector<std::uint64_t>{1, 2, 3}));
    EXPECT_EQ(contents.overLimit, 2u);
}

// However large or broken the file, the reader holds back no more than one record's worth (the
// reader asserts it as it goes) and still finds the whole entries.
TEST(JournalFormatTest, ReadingHoldsBoundedMemory) {
    JournalParser parser(kNoLimit);
    std::string piece(64 * 1024, 'S');
    for (std::size_t i = 0; i < piece.size(); i += 7) {
        piece[i] = "0123456789abcdef \n"[i % 18];
    }
    for (int i = 0; i < 20; ++i) {
        parser.Feed(piece);
        parser.Feed(Entries(1));
    }
    EXPECT_EQ(parser.Finish().waiting.size(), 1u) << "the one whole entry is found";
}

}  // namespace
}  // namespace brisolant
