#include "window/qt/ScreenFit.h"

#include <QRect>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace brisolant {

QSize FrameAllowance(const QWidget& window) {
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    if (frame.width() > 0 || frame.height() > 0) {
        return frame;
    }
    const QStyle* style = window.style();
    const int border = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &window);
    return {border, border + style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window)};
}

namespace {

int Within(int start, int length, int roomStart, int roomLength) {
    return std::max(roomStart, std::min(start, roomStart + roomLength - length));
}

}  // namespace

void FitIntoScreen(QWidget& window, const QRect& available) {
    if (available.isEmpty()) {
        return;
    }
    const QSize frame = FrameAllowance(window);
    const QSize room = (available.size() - frame).expandedTo(window.minimumSize());
    window.resize(window.size().boundedTo(room));
    const QRect outer = window.frameGeometry();
    const QSize outerSize = window.size() + frame;
    const QPoint inside(Within(outer.x(), outerSize.width(), available.x(), available.width()),
                        Within(outer.y(), outerSize.height(), available.y(), available.height()));
    if (inside != outer.topLeft()) {
        window.move(inside);
    }
}

}  // namespace brisolant
