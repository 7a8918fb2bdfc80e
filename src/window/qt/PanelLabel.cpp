#include "window/qt/PanelLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>

namespace brisolant {

namespace {
constexpr qsizetype kRememberedLayouts = 16;
}  // namespace

PanelLabel::PanelLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

bool PanelLabel::DrawsItself() const {
    return textFormat() == Qt::PlainText && alignment() == (Qt::AlignLeft | Qt::AlignVCenter) &&
           layoutDirection() == Qt::LeftToRight && isEnabled() && margin() == 0 && indent() >= 0 &&
           !text().contains(QLatin1Char('\n'));
}

void PanelLabel::paintEvent(QPaintEvent* event) {
    if (!DrawsItself()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QString shown = text();
    if (shown.isEmpty()) {
        return;
    }
    // Where QLabel puts one left-aligned line: past the indent, centred in the height.
    const QRect room = contentsRect().adjusted(indent(), 0, 0, 0);
    const QFontMetricsF metrics(font());
    const qreal top = room.y() + (room.height() - (metrics.ascent() + metrics.descent())) / 2;
    const QStaticText& laidOut = LaidOut(shown);
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    if (laidOut.size().width() > room.width()) {
        painter.setClipRect(room);
    }
    painter.drawStaticText(QPointF(room.x(), top), laidOut);
}

void PanelLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        laidOut_.clear();
    }
}

const QStaticText& PanelLabel::LaidOut(const QString& text) {
    if (const auto found = laidOut_.constFind(text); found != laidOut_.cend()) {
        return found.value();
    }
    if (laidOut_.size() >= kRememberedLayouts) {
        laidOut_.clear();
    }
    QStaticText laidOut(text);
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.prepare(QTransform(), font());
    return laidOut_.insert(text, laidOut).value();
}

}  // namespace brisolant
