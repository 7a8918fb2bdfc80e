#include <gtest/gtest.h>

#include "common/qt/Latin1Text.h"
#include "common/qt/QtLocale.h"

namespace brisolant {
namespace {

TEST(QtLocaleTest, TakesTheSeparatorsOfTheLocaleIn8BitForm) {
    struct Row {
        QLocale::Language language;
        QLocale::Territory territory;
        LocaleFormat expected;
    };
    const Row rows[] = {
        {QLocale::English, QLocale::UnitedStates, {".", ",", "/", ":"}},
        {QLocale::German, QLocale::Germany, {",", ".", ".", ":"}},
        // French groups with a narrow no-break space, which Latin-1 has only in its wide form.
        {QLocale::French, QLocale::France, {",", "\xA0", "/", ":"}},
        {QLocale::Swedish, QLocale::Sweden, {",", "\xA0", "-", ":"}},
    };
    for (const Row& row : rows) {
        const QLocale locale(row.language, row.territory);
        const LocaleFormat format = LocaleFormatFrom(locale);
        const std::string name = locale.name().toStdString();
        EXPECT_EQ(format.decimal, row.expected.decimal) << name;
        EXPECT_EQ(format.grouping, row.expected.grouping) << name;
        EXPECT_EQ(format.dateSeparator, row.expected.dateSeparator) << name;
        EXPECT_EQ(format.timeSeparator, row.expected.timeSeparator) << name;
    }
}

TEST(QtLocaleTest, SeparatorsLatin1CannotHoldFallBack) {
    // Arabic writes its own decimal and grouping signs.
    const LocaleFormat format = LocaleFormatFrom(QLocale(QLocale::Arabic, QLocale::Egypt));
    for (const std::string* text :
         {&format.decimal, &format.grouping, &format.dateSeparator, &format.timeSeparator}) {
        EXPECT_EQ(text->size(), 1u);
    }
    EXPECT_NE(format.decimal, format.grouping);
}

TEST(Latin1TextTest, EachCharacterBecomesOneByteOrAQuestionMark) {
    EXPECT_EQ(ToLatin1(QString::fromUtf8("abc \u00e9\u00ff")), "abc \xE9\xFF");
    EXPECT_EQ(ToLatin1(QString::fromUtf8("\u20ac\U0001F600x")), "??x");
    const std::string all = [] {
        std::string bytes;
        for (int b = 0; b < 256; ++b) {
            bytes.push_back(static_cast<char>(b));
        }
        return bytes;
    }();
    EXPECT_EQ(ToLatin1(FromLatin1(all)), all);
}

TEST(Latin1TextTest, StatusTextsShowUtf8FolderNamesAndOtherBytesAsLatin1) {
    EXPECT_EQ(FromStatusText("File: /data/\xD0\xA1\xD0\xBA\xD0\xBB\xD0\xB0\xD0\xB4/LOG-241.txt"),
              QString::fromUtf8("File: /data/\u0421\u043a\u043b\u0430\u0434/LOG-241.txt"));
    EXPECT_EQ(FromStatusText("Status: 111 A measurement is not a number: \"1\xE9\""),
              QString::fromUtf8("Status: 111 A measurement is not a number: \"1\u00e9\""));
}

}  // namespace
}  // namespace brisolant
