#include "settings/qt/IndicatorStyle.h"

#include <QStyleOption>

#include "common/qt/ReadableText.h"

namespace brisolant {

namespace {
// A shade of the window this much darker is how the styles draw an indicator's outline.
constexpr int kOutlineDarker = 140;
// An outline of less contrast than this against the window does not show.
constexpr double kVisibleOutline = 1.5;
bool OutlineShows(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    return ContrastRatio(window.darker(kOutlineDarker), window) >= kVisibleOutline;
}

}  // namespace

IndicatorStyle::IndicatorStyle(QObject* parent) {
    setParent(parent);
}

void IndicatorStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    const bool indicator = element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton;
    if (!indicator || button == nullptr || OutlineShows(button->palette)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // The style darkens the window's colour for the outline and uses it for nothing else here:
    // it is handed the colour that darkens into a grey that stands out from the window.
    QStyleOptionButton outlined(*button);
    outlined.palette.setColor(
        QPalette::Window,
        ReadableDimText(button->palette.color(QPalette::Window)).lighter(kOutlineDarker));
    QProxyStyle::drawPrimitive(element, &outlined, painter, widget);
}

}  // namespace brisolant
