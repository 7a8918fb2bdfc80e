#include "window/qt/AsciiGlyphs.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QTextLayout>
#include <cmath>

#include "support/QtTestApp.h"

namespace brisolant::test {
namespace {

// The text as QTextLayout places it on a value box's line: its glyph runs, its line's ascent,
// and its ink's height as the box measured it from them.
struct Shaped {
    QList<QGlyphRun> runs;
    qreal ascent = 0;
    int inkHeight = 0;
};

Shaped Shape(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option = layout.textOption();
    option.setTextDirection(Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    Shaped shaped{layout.glyphRuns(), line.ascent(), 0};
    qreal top = 100000;
    qreal bottom = 0;
    for (const QGlyphRun& run : shaped.runs) {
        for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i) {
            const QRectF box = run.rawFont().boundingRect(run.glyphIndexes()[i]);
            const qreal y = run.positions()[i].y() - shaped.ascent + box.y();
            top = std::min(top, y);
            bottom = std::max(bottom, std::ceil(y) + box.height());
        }
    }
    shaped.inkHeight = top < bottom ? qRound(bottom - top) : 0;
    return shaped;
}

QList<QFont> Fonts() {
    QFont bold = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    bold.setPointSizeF(12);
    bold.setBold(true);
    QFont plain = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    plain.setPointSizeF(9);
    QFont serif(QStringLiteral("Serif"));
    serif.setPointSizeF(10.5);
    QFont mono(QStringLiteral("Monospace"));
    mono.setPixelSize(17);
    return {bold, plain, serif, mono};
}

// Whatever it places, it places glyph for glyph and position for position where QTextLayout
// does, and measures the same ink: texts met again, new pairs, kerned pairs, tall ink.
TEST(AsciiGlyphsTest, PlacesEachGlyphWhereQTextLayoutDoes) {
    EnsureQtApplication();
    const QString texts[] = {
        QStringLiteral("0123456789"),       QStringLiteral("11/12/2026 10:42:07"),
        QStringLiteral("12.50 kg  "),       QStringLiteral("[12.5] (cm) {x} <y>"),
        QStringLiteral("gjpqy Qg_|,;"),     QStringLiteral("AVATAR To Wa Yo LT P. F, \"LV\""),
        QStringLiteral("PCL000000123"),     QStringLiteral("~!@#$%^&*+=?'`\\"),
        QStringLiteral(" leading"),         QStringLiteral("0123456789"),
        QStringLiteral("office fi fl ffi"),
    };
    for (const QFont& font : Fonts()) {
        AsciiGlyphs glyphs(font);
        for (const QString& text : texts) {
            const std::optional<AsciiGlyphs::Line> placed = glyphs.Place(text);
            if (!placed) {
                // Left to QTextLayout: a ligature.
                EXPECT_TRUE(text.contains(QStringLiteral("fi")) ||
                            text.contains(QStringLiteral("fl")))
                    << font.toString().toStdString() << ": " << text.toStdString();
                continue;
            }
            const Shaped shaped = Shape(text, font);
            const std::string what = font.toString().toStdString() + ": " + text.toStdString();
            ASSERT_EQ(shaped.runs.size(), 1) << what;
            EXPECT_EQ(placed->glyphs.glyphIndexes(), shaped.runs[0].glyphIndexes()) << what;
            EXPECT_EQ(placed->glyphs.positions(), shaped.runs[0].positions()) << what;
            EXPECT_TRUE(placed->glyphs.rawFont() == shaped.runs[0].rawFont()) << what;
            EXPECT_EQ(placed->ascent, shaped.ascent) << what;
            EXPECT_EQ(placed->inkHeight, shaped.inkHeight) << what;
        }
    }
}

// What a station sends is placed from the kept glyphs, not left to QTextLayout.
TEST(AsciiGlyphsTest, PlacesTheTextsOfAScan) {
    EnsureQtApplication();
    for (const QFont& font : Fonts()) {
        AsciiGlyphs glyphs(font);
        for (const char* text :
             {"26.31", "11.0 in", "12.44 lb", "PCL000000001", "11/12/2026", "10:42:07", "  ", ""}) {
            EXPECT_TRUE(glyphs.Place(QString::fromLatin1(text)).has_value())
                << font.toString().toStdString() << ": " << text;
        }
    }
}

TEST(AsciiGlyphsTest, LeavesTextBeyondPrintableAsciiToQTextLayout) {
    EnsureQtApplication();
    AsciiGlyphs glyphs(Fonts()[0]);
    for (const QString& text : {QStringLiteral("PCL\u00c5"), QStringLiteral("\u0e14\u0e39"),
                                QStringLiteral("a\tb"), QStringLiteral("\u20ac12")}) {
        EXPECT_FALSE(glyphs.Place(text).has_value()) << text.toStdString();
    }
}

}  // namespace
}  // namespace brisolant::test
