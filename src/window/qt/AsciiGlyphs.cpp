#include "window/qt/AsciiGlyphs.h"

#include <QPainter>
#include <QTextLayout>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <memory>

namespace brisolant {

namespace {

// The text laid out as a value box lays out its line, left to right.
QList<QGlyphRun> LaidOut(const QString& text, const QFont& font, qreal& ascent) {
    QTextLayout layout(text, font);
    QTextOption option = layout.textOption();
    option.setTextDirection(Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    ascent = line.ascent();
    return layout.glyphRuns();
}

// A distance in QTextLayout's unit, 1/64 of a pixel, in which its positions are exact.
std::int32_t InUnits(qreal pixels) {
    return static_cast<std::int32_t>(std::lround(pixels * 64));
}

}  // namespace

AsciiGlyphs::AsciiGlyphs(const QFont& font)
    : font_(font), distances_(kCount * kCount, kUnmeasured) {}

std::shared_ptr<AsciiGlyphs> AsciiGlyphs::Of(const QFont& font) {
    static std::vector<std::shared_ptr<AsciiGlyphs>> kept;
    constexpr std::size_t kFonts = 4;
    for (const auto& glyphs : kept) {
        if (glyphs->Font() == font) {
            return glyphs;
        }
    }
    if (kept.size() >= kFonts) {
        kept.erase(kept.begin());
    }
    kept.push_back(std::make_shared<AsciiGlyphs>(font));
    return kept.back();
}

// A character's glyph, from a line of that character alone: one glyph of the font itself, on
// the baseline.
const AsciiGlyphs::Glyph* AsciiGlyphs::GlyphOf(char16_t c) {
    if (c < kFirst || c > kLast) {
        return nullptr;
    }
    Glyph& glyph = glyphs_[c - kFirst];
    if (!glyph.measured) {
        glyph.measured = true;
        qreal ascent = 0;
        const QList<QGlyphRun> runs = LaidOut(QString(QChar(c)), font_, ascent);
        if (runs.size() != 1 || runs[0].glyphIndexes().size() != 1) {
            return nullptr;
        }
        const QGlyphRun& run = runs[0];
        if (!raw_.isValid()) {
            raw_ = run.rawFont();
            ascent_ = ascent;
            start_ = run.positions()[0].x();
        }
        if (run.rawFont() != raw_ || ascent != *ascent_ || run.positions()[0].y() != ascent ||
            run.positions()[0].x() != start_) {
            return nullptr;
        }
        glyph.index = run.glyphIndexes()[0];
        const QRectF ink = raw_.boundingRect(glyph.index);
        glyph.inkTop = ink.y();
        glyph.inkBottom = std::ceil(ink.y()) + ink.height();
        glyph.placed = true;
    }
    return glyph.placed ? &glyph : nullptr;
}

// How far the second character's glyph stands from the first's, from a line of the pair.
std::int32_t AsciiGlyphs::Distance(char16_t first, char16_t second) {
    std::int32_t& distance = distances_[(first - kFirst) * kCount + (second - kFirst)];
    if (distance == kUnmeasured) {
        distance = kNotPlaced;
        const Glyph* a = GlyphOf(first);
        const Glyph* b = GlyphOf(second);
        qreal ascent = 0;
        const QList<QGlyphRun> runs = LaidOut(QString(QChar(first)) + QChar(second), font_, ascent);
        if (a != nullptr && b != nullptr && runs.size() == 1 && runs[0].rawFont() == raw_ &&
            runs[0].glyphIndexes() == QList<quint32>{a->index, b->index}) {
            const QList<QPointF> at = runs[0].positions();
            if (at[0] == QPointF(start_, *ascent_) && at[1].y() == *ascent_) {
                distance = InUnits(at[1].x() - at[0].x());
            }
        }
    }
    return distance;
}

// Drawn once onto a picture of the background by the raster engine itself, with the pen at the
// same fractions of a pixel, so that coverage, blending and the pixel each lands in are the
// engine's own.
AsciiGlyphs::Picture AsciiGlyphs::PictureOf(quint32 glyph, QPoint fraction, QRgb pen,
                                            QRgb background, QImage::Format format) {
    const PictureKey key{glyph, fraction.x() * 64 + fraction.y(), pen, background, format};
    if (const auto found = pictures_.constFind(key); found != pictures_.constEnd()) {
        return *found;
    }
    constexpr std::size_t kPictures = 4096;
    if (static_cast<std::size_t>(pictures_.size()) >= kPictures) {
        pictures_.clear();
    }
    constexpr int kMargin = 4;
    const QRectF box = raw_.boundingRect(glyph);
    const QPoint pen0(kMargin - qFloor(box.x()), kMargin - qFloor(box.y()));
    QImage canvas(qCeil(box.width()) + 2 * kMargin + 1, qCeil(box.height()) + 2 * kMargin + 1,
                  format);
    canvas.fill(background);
    {
        QPainter painter(&canvas);
        painter.setPen(QColor::fromRgba(pen));
        QGlyphRun one;
        one.setRawFont(raw_);
        one.setGlyphIndexes({glyph});
        one.setPositions({QPointF(fraction.x() / 64.0, fraction.y() / 64.0)});
        painter.drawGlyphRun(pen0, one);
    }
    QRect ink;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            if (row[x] != background) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    Picture picture;
    if (!ink.isEmpty()) {
        picture.pixels = canvas.copy(ink);
        picture.offset = ink.topLeft() - pen0;
    }
    return *pictures_.insert(key, std::move(picture));
}

std::optional<AsciiGlyphs::Line> AsciiGlyphs::Place(const QString& text) {
    const qsizetype length = text.size();
    QList<quint32> indexes(length);
    QList<QPointF> positions(length);
    qreal top = 100000;
    qreal bottom = 0;
    std::int32_t x = InUnits(start_);
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        const Glyph* glyph = GlyphOf(c);
        if (glyph == nullptr) {
            return std::nullopt;
        }
        if (i > 0) {
            const std::int32_t step = Distance(text[i - 1].unicode(), c);
            if (step == kNotPlaced) {
                return std::nullopt;
            }
            x += step;
        }
        indexes[i] = glyph->index;
        positions[i] = QPointF(x / 64.0, *ascent_);
        top = std::min(top, glyph->inkTop);
        bottom = std::max(bottom, glyph->inkBottom);
    }
    if (!ascent_) {
        // No character met yet: the line of an empty text is as high as any.
        if (GlyphOf(u'x') == nullptr) {
            return std::nullopt;
        }
    }
    Line line;
    line.ascent = *ascent_;
    line.inkHeight = top < bottom ? qRound(bottom - top) : 0;
    line.glyphs.setRawFont(raw_);
    line.glyphs.setGlyphIndexes(indexes);
    line.glyphs.setPositions(positions);
    return line;
}

}  // namespace brisolant
