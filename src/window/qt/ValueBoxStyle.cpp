#include "window/qt/ValueBoxStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace brisolant {

namespace {
// A box is drawn in a few states (enabled or not, focused or not); more than this means the
// sizes or palettes changed, and the old pictures are of no more use.
constexpr std::size_t kRememberedPanels = 16;
}  // namespace

ValueBoxStyle::ValueBoxStyle(QObject* parent) {
    setParent(parent);
}

void ValueBoxStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    if (element != PE_PanelLineEdit || option == nullptr || painter == nullptr ||
        option->rect.isEmpty()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    painter->drawPixmap(option->rect.topLeft(), Picture(*option, *painter, widget));
}

const QPixmap& ValueBoxStyle::Picture(const QStyleOption& option, QPainter& painter,
                                      const QWidget* widget) const {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(&option);
    const int lineWidth = frame != nullptr ? frame->lineWidth : 0;
    const qreal ratio = painter.device()->devicePixelRatioF();
    for (const Panel& panel : panels_) {
        if (panel.size == option.rect.size() && panel.state == option.state &&
            panel.palette == option.palette.cacheKey() && panel.lineWidth == lineWidth &&
            panel.direction == option.direction && qFuzzyCompare(panel.ratio, ratio)) {
            return panel.picture;
        }
    }
    if (panels_.size() >= kRememberedPanels) {
        panels_.clear();
    }
    QPixmap picture(option.rect.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
        QPainter onPicture(&picture);
        if (frame != nullptr) {
            QStyleOptionFrame moved(*frame);
            moved.rect.moveTo(0, 0);
            QProxyStyle::drawPrimitive(PE_PanelLineEdit, &moved, &onPicture, widget);
        } else {
            QStyleOption moved(option);
            moved.rect.moveTo(0, 0);
            QProxyStyle::drawPrimitive(PE_PanelLineEdit, &moved, &onPicture, widget);
        }
    }
    panels_.push_back({option.rect.size(), option.state, option.palette.cacheKey(), lineWidth,
                       option.direction, ratio, picture});
    return panels_.back().picture;
}

}  // namespace brisolant
