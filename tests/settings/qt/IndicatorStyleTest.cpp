#include "settings/qt/IndicatorStyle.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>
#include <QStyleOption>

#include "common/qt/ReadableText.h"
#include "support/DarkPalette.h"
#include "support/QtTestApp.h"
#include "support/SameLook.h"

namespace brisolant::test {
namespace {

// The strongest contrast any pixel of the button's indicator has with the window behind it.
double IndicatorContrast(QAbstractButton& button, QStyle::SubElement indicator) {
    QStyleOptionButton option;
    option.initFrom(&button);
    const QRect rect = button.style()->subElementRect(indicator, &option, &button);
    const QImage picture = button.grab().toImage();
    const QColor window = button.palette().color(QPalette::Window);
    double strongest = 1;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            strongest = std::max(strongest, ContrastRatio(picture.pixelColor(x, y), window));
        }
    }
    return strongest;
}

template <typename Button>
void ExpectOwnLookWhenLightAndAnOutlineWhenDark(QStyle::SubElement indicator) {
    EnsureQtApplication();
    IndicatorStyle style(nullptr);
    Button outlined(QStringLiteral("Manual Entry Data"));
    outlined.setStyle(&style);
    Button plain(QStringLiteral("Manual Entry Data"));
    ExpectSameLookThroughChanges<Button>(
        outlined, plain,
        {{"unchecked", [](Button&) {}}, {"checked", [](Button& b) { b.setChecked(true); }}});

    outlined.setChecked(false);
    outlined.setPalette(DarkPalette());
    // The empty box or circle, outline and all, against a dark window.
    EXPECT_GE(IndicatorContrast(outlined, indicator), 3.0);
}

TEST(IndicatorStyleTest, ACheckBoxLooksAsTheStyleDrawsItAndIsOutlinedOnADarkPalette) {
    ExpectOwnLookWhenLightAndAnOutlineWhenDark<QCheckBox>(QStyle::SE_CheckBoxIndicator);
}

TEST(IndicatorStyleTest, ARadioButtonLooksAsTheStyleDrawsItAndIsOutlinedOnADarkPalette) {
    ExpectOwnLookWhenLightAndAnOutlineWhenDark<QRadioButton>(QStyle::SE_RadioButtonIndicator);
}

}  // namespace
}  // namespace brisolant::test
