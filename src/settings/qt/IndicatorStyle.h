#pragma once

#include <QProxyStyle>

namespace brisolant {

// The application's style for check boxes and radio buttons, whose indicators keep an outline
// that can be seen on any window colour. A style that draws the outline a shade darker than the
// window draws it nearly black on a dark palette, where the empty box and circle all but vanish;
// there the outline is drawn in a grey taken from the palette that stands out from the window.
// On a light palette the indicators are the style's own, pixel for pixel.
class IndicatorStyle : public QProxyStyle {
  public:
    explicit IndicatorStyle(QObject* parent);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace brisolant
