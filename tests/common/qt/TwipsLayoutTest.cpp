#include "common/qt/TwipsLayout.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "support/QtTestApp.h"

namespace brisolant {
namespace {

class TwipsLayoutTest : public ::testing::Test {
  protected:
    void SetUp() override { test::EnsureQtApplication(); }
};

// 1440 twips make an inch, whatever the screen's logical DPI.
TEST_F(TwipsLayoutTest, PlacesInTwipsScaledWithTheLogicalDpi) {
    QWidget parent;
    auto* child = new QWidget(&parent);
    Place(child, 1440, 720, 2880, 4320);
    const int dpi = child->logicalDpiX();
    EXPECT_EQ(child->geometry(), QRect(dpi, dpi / 2, 2 * dpi, 3 * dpi));
    EXPECT_EQ(TwipsToPixels(parent, 15), qRound(dpi / 96.0));
    EXPECT_EQ(PixelsToTwips(parent, dpi), 1440);
    EXPECT_EQ(PixelsToTwips(parent, TwipsToPixels(parent, 9570)), 9570);
}

TEST_F(TwipsLayoutTest, CaptionThatWouldBeCutOffGetsANarrowerFontInItsOwnBox) {
    QLabel caption(QStringLiteral("Dim Volume"));
    const QFont wide = caption.font();
    caption.resize(caption.sizeHint().width() * 85 / 100, caption.sizeHint().height());
    const QRect box = caption.geometry();
    FitCaption(&caption);
    EXPECT_LE(caption.sizeHint().width(), caption.width());
    EXPECT_EQ(caption.geometry(), box);
    EXPECT_EQ(caption.font().pointSizeF(), wide.pointSizeF());
    EXPECT_LT(caption.font().stretch(), 100);
}

TEST_F(TwipsLayoutTest, CaptionThatFitsKeepsItsFont) {
    QLabel caption(QStringLiteral("Date"));
    caption.resize(caption.sizeHint() * 2);
    const QFont font = caption.font();
    FitCaption(&caption);
    EXPECT_EQ(caption.font(), font);
}

}  // namespace
}  // namespace brisolant
