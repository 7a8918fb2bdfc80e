#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QRawFont>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace brisolant {

// Printable ASCII in one font, placed as QTextLayout places it on a left-to-right line, without
// shaping each new text: each character's glyph and ink, and how far each character's glyph
// stands from the next one's (its advance, with the pair's kerning), are taken once from
// QTextLayout itself, a character and a pair of characters at a time, as they are first met.
// A value box's new text is then placed by adding up those distances. A pair that QTextLayout
// does not lay out as its two glyphs side by side (a ligature), and any character beyond
// printable ASCII or drawn from another font, leaves the text to QTextLayout.
class AsciiGlyphs {
  public:
    // A text as one run of glyphs whose baseline lies at `ascent` below the top of the line,
    // where QTextLayout would put it; its ink's height is measured as QFontMetrics measures it.
    struct Line {
        QGlyphRun glyphs;
        qreal ascent = 0;
        int inkHeight = 0;
    };

    explicit AsciiGlyphs(const QFont& font);

    // The glyphs of a font, shared by the boxes that use it: the value boxes use one or two
    // fonts, and a few more are remembered for the boxes to come.
    static std::shared_ptr<AsciiGlyphs> Of(const QFont& font);

    // A glyph drawn in `pen` onto `background` in a picture of `format`, as the raster engine
    // draws it with the pen at a position whose fractions of a pixel are `fraction` (in 64ths):
    // the pixels its ink covers, and where they lie from the pixel the pen stands in. Boxes that
    // stand on one plain colour copy their values together from these instead of blending each
    // glyph again.
    struct Picture {
        QImage pixels;  // null for a glyph without ink
        QPoint offset;
    };
    Picture PictureOf(quint32 glyph, QPoint fraction, QRgb pen, QRgb background,
                      QImage::Format format);

    const QFont& Font() const { return font_; }
    // The text placed, or nothing when QTextLayout must place it.
    std::optional<Line> Place(const QString& text);

  private:
    static constexpr char16_t kFirst = 0x20;
    static constexpr char16_t kLast = 0x7e;
    static constexpr std::size_t kCount = kLast - kFirst + 1;
    // Distances are in QTextLayout's own unit, 1/64 of a pixel.
    static constexpr std::int32_t kUnmeasured = INT32_MIN;
    static constexpr std::int32_t kNotPlaced = INT32_MIN + 1;

    struct Glyph {
        bool measured = false;
        bool placed = false;  // drawn by the font itself, as one glyph
        quint32 index = 0;
        qreal inkTop = 0;
        qreal inkBottom = 0;
    };

    const Glyph* GlyphOf(char16_t c);
    std::int32_t Distance(char16_t first, char16_t second);

    struct PictureKey {
        quint32 glyph;
        int fraction;  // x and y in 64ths
        QRgb pen;
        QRgb background;
        QImage::Format format;
        bool operator==(const PictureKey&) const = default;
    };
    friend std::size_t qHash(const PictureKey& key, std::size_t seed) {
        return qHashMulti(seed, key.glyph, key.fraction, key.pen, key.background,
                          static_cast<int>(key.format));
    }

    QFont font_;
    QRawFont raw_;
    std::optional<qreal> ascent_;
    qreal start_ = 0;  // where a line's first glyph stands
    std::array<Glyph, kCount> glyphs_{};
    std::vector<std::int32_t> distances_;
    QHash<PictureKey, Picture> pictures_;
};

}  // namespace brisolant
