#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "settings/ProfileText.h"

namespace brisolant {
namespace {

using namespace std::string_literals;

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(ProfileTextTest, FindsValuesAsTheProfileFormatDefinesThem) {
    const ReadCase cases[] = {
        {"plain entry", "[S]\r\nk=v\r\n", "S", "k", "v"},
        {"names in other letter case", "[settings]\r\nRemove_InCm=1\r\n", "SETTINGS", "Remove_incm",
         "1"},
        {"blanks around names", "  [ S ] \r\n\t k \t= v\r\n", " s", "K ", "v"},
        {"blanks and tabs around value", "[S]\r\nk= \t v w \t \r\n", "S", "k", "v w"},
        {"double quotes removed", "[S]\r\nk=\" a b \"\r\n", "S", "k", " a b "},
        {"single quotes removed", "[S]\r\nk='x'\r\n", "S", "k", "x"},
        {"unmatched quotes stay", "[S]\r\nk=\"x'\r\n", "S", "k", "\"x'"},
        {"a lone quote stays", "[S]\r\nk=\"\r\n", "S", "k", "\""},
        {"value runs from the first equals", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"empty value is not missing", "[S]\r\nk=\r\n", "S", "k", ""},
        {"missing key", "[S]\r\nj=1\r\n", "S", "k", std::nullopt},
        {"missing section", "[T]\r\nk=1\r\n", "S", "k", std::nullopt},
        {"key of a later section", "[S]\r\n[T]\r\nk=1\r\n", "S", "k", std::nullopt},
        {"entry before any header", "k=1\r\n[S]\r\n", "S", "k", std::nullopt},
        {"first of two entries", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "1"},
        {"lines without equals ignored", "[S]\r\njunk\r\n;k\r\nk=1\r\n", "S", "k", "1"},
        {"comment entry does not match", "[S]\r\n;k=0\r\nk=1\r\n", "S", "k", "1"},
        {"text after the header", "[S] ; note\r\nk=1\r\n", "S", "k", "1"},
        {"LF line ends", "[S]\nj=0\nk=1\n", "S", "k", "1"},
        {"CR line ends", "[S]\rj=0\rk=1\r", "S", "k", "1"},
        {"no line end at the end", "[S]\r\nk=1", "S", "k", "1"},
        {"header alone without line end", "[S]", "S", "k", std::nullopt},
        {"NUL inside a value", "[S]\r\nk=a\0b\r\n"s, "S", "k", "a\0b"s},
        {"unclosed bracket is no header", "[S]\r\n[T\r\nk=1\r\n", "S", "k", "1"},
        {"byte-order mark before the first header", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "1"},
        {"byte-order mark only at the very start", "[T]\r\n\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k",
         std::nullopt},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(FindProfileValue(c.text, c.section, c.key), c.expected) << c.name;
    }
}

TEST(ProfileTextTest, ReadYieldsTheDefaultOnlyWhenTheEntryIsMissing) {
    const std::optional<std::string> content = "[S]\r\nempty=\r\n";
    EXPECT_EQ(ProfileValueOrDefault(std::nullopt, "S", "k", "dflt"), "dflt");
    EXPECT_EQ(ProfileValueOrDefault(content, "S", "missing", "dflt"), "dflt");
    EXPECT_EQ(ProfileValueOrDefault(content, "S", "empty", "dflt"), "");
}

TEST(ProfileTextTest, ReadCutsValuesTo255Characters) {
    const std::string value(300, 'x');
    EXPECT_EQ(ProfileValueOrDefault("[S]\r\nk=" + value + "\r\n", "S", "k", ""),
              std::string(255, 'x'));
}

TEST(ProfileTextTest, HugeLinesAndFilesWithoutLineEndsAreRead) {
    const std::string huge(100000, 'y');
    const std::string text = "[S]\r\n" + huge + "\r\nk=" + huge;
    EXPECT_EQ(FindProfileValue(text, "S", "k"), huge);
    EXPECT_EQ(FindProfileValue(huge + "[S]", "S", "k"), std::nullopt);
}

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(ProfileTextTest, StoresEntriesAndLeavesEveryOtherLineAlone) {
    const WriteCase cases[] = {
        {"empty text gets section and entry", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"existing entry updated in place", "[S]\r\na=1\r\nk=old\r\nb=2\r\n", "S", "k", "new",
         "[S]\r\na=1\r\nk=new\r\nb=2\r\n"},
        {"entry stored in other case updated", "[settings]\r\nRemove_incm=0\r\n", "SETTINGS",
         "Remove_InCm", "1", "[settings]\r\nRemove_incm=1\r\n"},
        {"spacing before the equals stays", "[S]\r\n  k = 1 \r\n", "S", "k", "2",
         "[S]\r\n  k =2\r\n"},
        {"new entry ends its section", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", "A", "k", "v",
         "[A]\r\nx=1\r\nk=v\r\n\r\n[B]\r\ny=2\r\n"},
        {"new entry after comments of its section", "; top\r\n[A]\r\n; c\r\nx=1\r\n", "A", "k", "v",
         "; top\r\n[A]\r\n; c\r\nx=1\r\nk=v\r\n"},
        {"new entry after a last line without line end", "[A]\r\nx=1", "A", "k", "v",
         "[A]\r\nx=1\r\nk=v\r\n"},
        {"new entry under a bare header", "[A]", "A", "k", "v", "[A]\r\nk=v\r\n"},
        {"new section after a blank line", "[A]\r\nx=1\r\n", "B", "k", "v",
         "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"new section after a text without line end", "[A]\nx=1", "B", "k", "v",
         "[A]\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"new section after a trailing blank line", "[A]\r\nx=1\r\n\r\n", "B", "k", "v",
         "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"LF lines keep their ends", "[A]\nx=1\ny=2\n", "a", "X", "3", "[A]\nx=3\ny=2\n"},
        {"CR lines keep their ends", "[A]\rx=1\r", "A", "k", "v", "[A]\rx=1\rk=v\r\n"},
        {"empty value stored", "[A]\r\nk=1\r\n", "A", "k", "", "[A]\r\nk=\r\n"},
        {"a tab stored between quotes", "[A]\r\nk=1\r\n", "A", "k", "\t", "[A]\r\nk=\"\t\"\r\n"},
        {"blanks at the ends kept between quotes", "", "A", "k", " v ", "[A]\r\nk=\" v \"\r\n"},
        {"a quoted value quoted again", "", "A", "k", "'v'", "[A]\r\nk=\"'v'\"\r\n"},
        {"names written without surrounding blanks", "", " S ", " k ", "v", "[S]\r\nk=v\r\n"},
        {"byte-order mark kept, first section updated", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "2",
         "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
        {"byte-order mark kept, entry added to first section", "\xEF\xBB\xBF[A]\r\n", "A", "k", "v",
         "\xEF\xBB\xBF[A]\r\nk=v\r\n"},
        {"byte-order mark alone gets the section right after it", "\xEF\xBB\xBF", "A", "k", "v",
         "\xEF\xBB\xBF[A]\r\nk=v\r\n"},
    };
    for (const WriteCase& c : cases) {
        EXPECT_EQ(WithProfileValue(c.before, c.section, c.key, c.value), c.after) << c.name;
    }
}

TEST(ProfileTextTest, OnlyEntriesThatKeepTheFileShapeCanBeStored) {
    EXPECT_TRUE(CanStoreProfileValue("SETTINGS", "FileDelimiter", " "));
    EXPECT_TRUE(CanStoreProfileValue("SETTINGS", "BranchID", ""));
    EXPECT_TRUE(CanStoreProfileValue("SETTINGS", "FilePath", "/a=b/[c]/"));
    EXPECT_FALSE(CanStoreProfileValue("SETTINGS", "BranchID", "a\r\n[COMMUNICATION]"));
    EXPECT_FALSE(CanStoreProfileValue("SETTINGS", "BranchID", "a\nb"));
    EXPECT_FALSE(CanStoreProfileValue("SETTINGS", "BranchID", "a\rb"));
    EXPECT_FALSE(CanStoreProfileValue("SETTINGS", "Branch=ID", "1"));
    EXPECT_FALSE(CanStoreProfileValue("SETTINGS", "[X]", "1"));
    EXPECT_FALSE(CanStoreProfileValue("SETTINGS", " ", "1"));
    EXPECT_FALSE(CanStoreProfileValue("SET]TINGS", "k", "1"));
    EXPECT_FALSE(CanStoreProfileValue("", "k", "1"));
    EXPECT_FALSE(CanStoreProfileValue("S\nT", "k", "1"));
}

// Whatever bytes a damaged or foreign file holds, a stored entry reads back as written.
// A read trims blanks and takes off one pair of quotes; what is stored must come back whole.
TEST(ProfileTextTest, EveryStorableValueReadsBackAsStored) {
    for (const std::string value : {"", "\t", " ", " v", "v ", "||", "\"", "\"\"", "'v'", "\"v\"",
                                    " \"", "a\"b", "; not a comment"}) {
        EXPECT_EQ(FindProfileValue(WithProfileValue("", "S", "k", value), "S", "k"), value)
            << "[" << value << "]";
    }
}

TEST(ProfileTextTest, StoredEntryReadsBackFromAnyBytes) {
    std::mt19937 random(20070829);
    const std::string alphabet = "[]=\r\n \t\"'Sk;x\0\xff"s;
    for (int round = 0; round < 300; ++round) {
        std::string junk(random() % 400, '\0');
        for (char& c : junk) {
            c = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
        }
        const std::string written = WithProfileValue(junk, "S", "k", "value");
        ASSERT_EQ(FindProfileValue(written, "S", "k"), "value") << "round " << round;
        ASSERT_EQ(WithProfileValue(written, "S", "k", "value"), written) << "round " << round;
    }
}

}  // namespace
}  // namespace brisolant
