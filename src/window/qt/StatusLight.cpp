#include "window/qt/StatusLight.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

namespace brisolant {

StatusLight::StatusLight(QWidget* parent) : QWidget(parent) {
    FollowBackground();
}

void StatusLight::SetColour(std::uint32_t colour) {
    if (colour != colour_) {
        colour_ = colour;
        update();
    }
}

void StatusLight::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, Picture());
}

void StatusLight::resizeEvent(QResizeEvent*) {
    pictures_.clear();
}

void StatusLight::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        FollowBackground();
        pictures_.clear();
    }
}

// On a plain background the light paints its whole box itself, the background included, so a
// change of colour repaints the light alone and not the window beneath it as well.
void StatusLight::FollowBackground() {
    const QBrush& background = palette().brush(backgroundRole());
    opaque_ = background.style() == Qt::SolidPattern && background.isOpaque();
    setAttribute(Qt::WA_OpaquePaintEvent, opaque_);
}

const QPixmap& StatusLight::Picture() {
    const qreal ratio = devicePixelRatioF();
    QPixmap& picture = pictures_[colour_];
    if (!picture.isNull() && qFuzzyCompare(picture.devicePixelRatio(), ratio)) {
        return picture;
    }
    picture = QPixmap(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(opaque_ ? palette().color(backgroundRole()) : QColor(Qt::transparent));
    const int diameter = std::min(width(), height()) - 1;
    if (diameter <= 0) {
        return picture;
    }
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter,
                        diameter);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(static_cast<int>(colour_ & 0xFF),
                            static_cast<int>((colour_ >> 8) & 0xFF),
                            static_cast<int>((colour_ >> 16) & 0xFF)));
    painter.drawEllipse(circle);
    return picture;
}

}  // namespace brisolant
