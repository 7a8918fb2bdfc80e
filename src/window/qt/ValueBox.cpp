#include "window/qt/ValueBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "window/qt/AsciiGlyphs.h"

namespace brisolant {

namespace {

// A QLineEdit's room between its frame and its text.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;

// What a screen reader learns of a box: a read-only text whose value is the box's text.
class ValueBoxAccessible : public QAccessibleWidget {
  public:
    explicit ValueBoxAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::EditableText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return static_cast<const ValueBox*>(widget())->Text();
        }
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }
};

QAccessibleInterface* AccessibleValueBox(const QString& key, QObject* object) {
    if (key == QLatin1String(ValueBox::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType()) {
        return new ValueBoxAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

// Control characters are drawn as spaces, not as boxes; the value keeps them.
QString Printable(QString text) {
    for (QChar& c : text) {
        if ((c.unicode() < 0x20 && c.unicode() != 0x09) || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator || c == QChar::ObjectReplacementCharacter) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

// How high the glyphs' ink reaches, top to bottom, measured as QFontMetrics::boundingRect
// measures a text but from the layout at hand: measuring the text would shape it again.
int InkHeight(const QTextLayout& layout) {
    if (layout.lineCount() == 0) {
        return 0;
    }
    const QTextLine line = layout.lineAt(0);
    const qreal baseline = line.y() + line.ascent();
    qreal top = 100000;
    qreal bottom = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            const QRectF box = font.boundingRect(glyphs[i]);
            const qreal y = positions[i].y() - baseline + box.y();
            top = std::min(top, y);
            bottom = std::max(bottom, std::ceil(y) + box.height());
        }
    }
    return top < bottom ? qRound(bottom - top) : 0;
}

QStyleOptionFrame PanelOption(const QWidget& box) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.contentsRect();
    option.lineWidth = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    option.features = QStyleOptionFrame::None;
    return option;
}

}  // namespace

ValueBox::ValueBox(QWidget* parent) : QWidget(parent) {
    static const bool accessible = (QAccessible::installFactory(AccessibleValueBox), true);
    (void)accessible;
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ValueBox::SetText(const QString& text) {
    if (text == text_) {
        return;
    }
    text_ = text;
    const QRect old = inkArea_;
    LayOut();
    // Only where the old text and the new one are drawn changes; the frame stays as it is.
    update(old | inkArea_);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, text_);
        QAccessible::updateAccessibility(&changed);
    }
}

void ValueBox::Copy() const {
    QGuiApplication::clipboard()->setText(text_);
}

QSize ValueBox::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {17 * metrics.horizontalAdvance(QLatin1Char('x')) + 2 * kHorizontalMargin,
            metrics.height() + 2 * kVerticalMargin + 4};
}

// Laid out as a QLineEdit lays out its line, so that it is drawn the same. A text of printable
// ASCII on a left-to-right line is placed from the glyphs met before, without shaping it again.
void ValueBox::LayOut() {
    inkArea_ = QRect();
    if (text_.isEmpty()) {
        // Nothing is drawn: nothing to measure.
        placed_ = false;
        glyphs_ = QGlyphRun();
        layout_.clearLayout();
        return;
    }
    const QStyleOptionFrame panel = PanelOption(*this);
    const QRect room = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    const QString shown = Printable(text_);
    const QFontMetrics metrics = fontMetrics();
    if (layoutDirection() == Qt::LeftToRight) {
        if (!glyphsOfFont_) {
            glyphsOfFont_ = AsciiGlyphs::Of(font());
        }
        if (std::optional<AsciiGlyphs::Line> line = glyphsOfFont_->Place(shown)) {
            glyphs_ = std::move(line->glyphs);
            placed_ = true;
            ascent_ = qRound(line->ascent);
            lineHeight_ = std::max(line->inkHeight, metrics.height());
            layout_.clearLayout();
            // A pixel around the ink, which antialiasing may touch.
            inkArea_ = glyphs_.boundingRect()
                           .translated(TextTopLeft(room))
                           .toAlignedRect()
                           .adjusted(-1, -1, 1, 1) &
                       room;
            return;
        }
    }
    placed_ = false;
    glyphs_ = QGlyphRun();
    layout_.setText(shown);
    layout_.setFont(font());
    layout_.setCacheEnabled(true);
    QTextOption option = layout_.textOption();
    option.setTextDirection(layoutDirection());
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout_.setTextOption(option);
    layout_.beginLayout();
    const QTextLine line = layout_.createLine();
    layout_.endLayout();
    ascent_ = qRound(line.ascent());
    lineHeight_ = std::max(InkHeight(layout_), metrics.height());
    inkArea_ = room;
}

QPoint ValueBox::TextTopLeft(const QRect& room) const {
    const int top = room.y() + (room.height() - lineHeight_ + 1) / 2;
    return {room.x() + kHorizontalMargin, top - (ascent_ - fontMetrics().ascent())};
}

void ValueBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QStyleOptionFrame panel = PanelOption(*this);
    const QRect room = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    const QPoint topLeft = TextTopLeft(room);
    painter.setPen(palette().text().color());
    // A new text repaints where the old and the new one are drawn: where the panel's rows are
    // plain there, they are drawn with the text, and the frame is left as it is.
    if (placed_ && event->region().rectCount() == 1 && room.contains(event->rect())) {
        painter.setClipRect(room);
        if (DrawFromPictures(painter, topLeft, room, event->rect())) {
            return;
        }
        painter.setClipping(false);
    }
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    if (text_.isEmpty()) {
        return;
    }
    painter.setClipRect(room);
    if (placed_) {
        if (!DrawFromPictures(painter, topLeft, room, {})) {
            painter.drawGlyphRun(topLeft, glyphs_);
        }
    } else {
        layout_.draw(&painter, topLeft, {}, room);
    }
}

namespace {

// Whether the painter may have its target's pixels at `area` (device pixels) written directly:
// a target no other image shares, the area inside it and inside the region being painted.
bool MayWriteDirectly(const QPaintEngine& engine, const QImage& target, const QRect& area) {
    if (!target.isDetached() || !target.rect().contains(area)) {
        return false;
    }
    const QRegion painted = engine.systemClip();
    // Not compared with the intersection, which may come in more rectangles than one.
    return painted.isEmpty() || QRegion(area).subtracted(painted).isEmpty();
}

}  // namespace

// Where the text stands on one plain colour, its glyphs' pictures on that colour (AsciiGlyphs)
// are copied into the target at once: the same pixels as drawing the glyph run, without
// blending each glyph again. The panel's rows in `blank` are drawn with them, as the plain
// colours they are, when the panel has not been drawn there. Returns false, having drawn
// nothing, where that could differ: a painter that draws elsewhere than into an image, a
// background that is not one opaque colour (a focus frame may colour a row's ends: only the
// stretch under the text counts), glyphs whose ink overlaps.
bool ValueBox::DrawFromPictures(QPainter& painter, const QPoint& topLeft, const QRect& room,
                                const QRect& blank) {
    QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster ||
        engine->paintDevice() == nullptr || engine->paintDevice()->devType() != QInternal::Image) {
        return false;
    }
    QImage& target = *static_cast<QImage*>(engine->paintDevice());
    const QTransform toTarget = painter.deviceTransform();
    if ((target.format() != QImage::Format_RGB32 &&
         target.format() != QImage::Format_ARGB32_Premultiplied) ||
        toTarget.type() > QTransform::TxTranslate || toTarget.dx() != std::floor(toTarget.dx()) ||
        toTarget.dy() != std::floor(toTarget.dy()) || target.devicePixelRatio() != 1) {
        return false;
    }
    const QRect shown = room & rect();
    const QList<quint32> indexes = glyphs_.glyphIndexes();
    const QList<QPointF> positions = glyphs_.positions();
    const QRgb pen = painter.pen().color().rgba();
    const std::vector<PlainRun>& plain = PlainRows(room, target.format());
    const int baseline = qFloor(topLeft.y() + (positions.isEmpty() ? 0 : positions[0].y()));
    if (baseline < 0 || baseline >= static_cast<int>(plain.size()) || qAlpha(pen) != 255) {
        return false;
    }
    const QRgb background = plain[static_cast<std::size_t>(baseline)].colour;
    if (qAlpha(background) != 255) {
        return false;
    }
    struct Placed {
        QImage pixels;  // shares the kept picture's pixels
        QRect at;
    };
    std::vector<Placed> placed;
    placed.reserve(static_cast<std::size_t>(indexes.size()));
    QRect whole;
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        const QPointF at = QPointF(topLeft) + positions[i];
        const QPoint pixel(qFloor(at.x()), qFloor(at.y()));
        const QPoint fraction(qRound((at.x() - pixel.x()) * 64), qRound((at.y() - pixel.y()) * 64));
        const AsciiGlyphs::Picture picture =
            glyphsOfFont_->PictureOf(indexes[i], fraction, pen, background, target.format());
        if (picture.pixels.isNull()) {
            continue;
        }
        const QRect area(pixel + picture.offset, picture.pixels.size());
        for (const Placed& other : placed) {
            if (other.at.intersects(area)) {
                return false;
            }
        }
        placed.push_back({picture.pixels, area});
        whole |= area;
    }
    whole &= shown;
    const QRect drawn = whole | (blank & shown);
    if (drawn.isEmpty()) {
        return true;
    }
    // The panel is one colour across each row drawn, the background beneath the text's picture.
    for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
        const PlainRun& run = plain[static_cast<std::size_t>(y)];
        if (qAlpha(run.colour) != 255 || run.left > drawn.left() || run.right < drawn.right() ||
            (y >= whole.top() && y <= whole.bottom() && run.colour != background)) {
            return false;
        }
    }
    // The text goes straight into the target where the painter may draw all of it there, else
    // into a picture of its own that the painter draws.
    const QPoint offset(static_cast<int>(toTarget.dx()), static_cast<int>(toTarget.dy()));
    const QRect inTarget = drawn.translated(offset);
    const bool direct = MayWriteDirectly(*engine, target, inTarget);
    QImage text;
    if (!direct) {
        text = QImage(drawn.size(), target.format());
    }
    QImage& canvas = direct ? target : text;
    const QPoint origin = direct ? inTarget.topLeft() : QPoint();
    uchar* const bits = canvas.bits();
    const qsizetype line = canvas.bytesPerLine();
    const auto at = [&](int x, int y) {
        return bits + (origin.y() + y) * line + (origin.x() + x) * qsizetype(sizeof(QRgb));
    };
    for (int y = 0; y < drawn.height(); ++y) {
        std::fill_n(reinterpret_cast<QRgb*>(at(0, y)), drawn.width(),
                    plain[static_cast<std::size_t>(drawn.top() + y)].colour);
    }
    for (const Placed& glyph : placed) {
        const QRect part = glyph.at & whole;
        if (part.isEmpty()) {
            continue;
        }
        const QPoint from = part.topLeft() - glyph.at.topLeft();
        const QPoint to = part.topLeft() - drawn.topLeft();
        const uchar* const fromBits = glyph.pixels.constBits();
        const qsizetype fromLine = glyph.pixels.bytesPerLine();
        const auto bytes = static_cast<std::size_t>(part.width()) * sizeof(QRgb);
        for (int y = 0; y < part.height(); ++y) {
            std::memcpy(at(to.x(), to.y() + y),
                        fromBits + (from.y() + y) * fromLine + from.x() * qsizetype(sizeof(QRgb)),
                        bytes);
        }
    }
    if (!direct) {
        painter.drawImage(drawn.topLeft(), text);
    }
    return true;
}

// Each row of the box's room as its panel draws it: its longest stretch of one opaque colour,
// found once for each look of the panel (its size, state, palette and the format it is drawn in).
const std::vector<ValueBox::PlainRun>& ValueBox::PlainRows(const QRect& room,
                                                           QImage::Format format) {
    const QStyleOptionFrame panel = PanelOption(*this);
    const PanelLook look{size(), room, panel.state, panel.palette.cacheKey(), format};
    if (look == plainLook_) {
        return plainRows_;
    }
    plainLook_ = look;
    QImage drawn(size(),
                 format == QImage::Format_RGB32 ? QImage::Format_ARGB32_Premultiplied : format);
    drawn.fill(Qt::transparent);
    {
        QPainter painter(&drawn);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    }
    plainRows_.assign(static_cast<std::size_t>(height()), PlainRun{});
    const QRect inside = room & drawn.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        PlainRun& longest = plainRows_[static_cast<std::size_t>(y)];
        for (int left = inside.left(); left <= inside.right();) {
            int right = left;
            while (right < inside.right() && row[right + 1] == row[left]) {
                ++right;
            }
            if (qAlpha(row[left]) == 255 && right - left > longest.right - longest.left) {
                longest = {row[left], left, right};
            }
            left = right + 1;
        }
    }
    return plainRows_;
}

void ValueBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ValueBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &ValueBox::Copy);
    copy->setObjectName(QStringLiteral("mnuCopy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!text_.isEmpty());
    menu.exec(event->globalPos());
}

// The room inside the frame, and where the text stands in it, follow the size.
void ValueBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void ValueBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange) {
        glyphsOfFont_.reset();
        LayOut();
    } else if (event->type() == QEvent::StyleChange) {
        LayOut();
    }
}

}  // namespace brisolant
