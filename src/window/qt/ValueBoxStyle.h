#pragma once

#include <QPixmap>
#include <QProxyStyle>
#include <vector>

namespace brisolant {

// The application's style for the value boxes, with each box's frame and background drawn once
// per size and state and kept as a pixmap: the boxes are redrawn at every scan, and the rounded,
// anti-aliased frame is much of what that costs. Everything else is the application's style.
class ValueBoxStyle : public QProxyStyle {
  public:
    explicit ValueBoxStyle(QObject* parent);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

  private:
    struct Panel {
        QSize size;
        QStyle::State state;
        qint64 palette = 0;
        int lineWidth = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        qreal ratio = 1;
        QPixmap picture;
    };

    const QPixmap& Picture(const QStyleOption& option, QPainter& painter,
                           const QWidget* widget) const;

    mutable std::vector<Panel> panels_;
};

}  // namespace brisolant
