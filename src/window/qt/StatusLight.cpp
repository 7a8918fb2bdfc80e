#include "window/qt/StatusLight.h"

#include <QPainter>
#include <algorithm>

StatusLight::StatusLight(QWidget* parent) : QWidget(parent) {}

void StatusLight::SetColour(std::uint32_t colour) {
    if (colour != m_colour) {
        m_colour = colour;
        update();
    }
}

void StatusLight::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, Picture());
}

void StatusLight::resizeEvent(QResizeEvent*) {
    m_pictures.clear();
}

const QPixmap& StatusLight::Picture() {
    const qreal ratio = devicePixelRatioF();
    QPixmap& picture = m_pictures[m_colour];
    if (!picture.isNull() && qFuzzyCompare(picture.devicePixelRatio(), ratio)) {
        return picture;
    }
    picture = QPixmap(size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    const int diameter = std::min(width(), height()) - 1;
    if (diameter <= 0) {
        return picture;
    }
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter,
                        diameter);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(static_cast<int>(m_colour & 0xFF),
                            static_cast<int>((m_colour >> 8) & 0xFF),
                            static_cast<int>((m_colour >> 16) & 0xFF)));
    painter.drawEllipse(circle);
    return picture;
}
