#include "window/qt/StartPictures.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>

#include "support/QtTestApp.h"

namespace brisolant::test {
namespace {

// The pixels alone: a picture file may name its colour space, which Qt does not apply when it
// draws it, and raw pixels name none.
QImage Pixels(QImage image) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    image.setColorSpace(QColorSpace());
    return image;
}

QImage Pixels(const QPixmap& picture) {
    return Pixels(picture.toImage());
}

// The logo kept at the size shown is the full one as the label scales it: the same pixels.
TEST(StartPicturesTest, TheLogoAtTheSizeShownIsTheFullOneAsTheLabelScalesIt) {
    EnsureQtApplication();
    const QPixmap kept = LogoPicture(QSize(355, 133));
    const QImage full = QPixmap(QStringLiteral(":/assets/logo.png")).toImage();
    ASSERT_EQ(kept.size(), QSize(355, 133));
    EXPECT_EQ(Pixels(kept),
              Pixels(full.scaled(kept.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

TEST(StartPicturesTest, AtAnyOtherSizeTheLogoIsTheFullOne) {
    EnsureQtApplication();
    EXPECT_EQ(Pixels(LogoPicture(QSize(710, 266))),
              Pixels(QPixmap(QStringLiteral(":/assets/logo.png"))));
}

TEST(StartPicturesTest, TheIconIsTheIconFile) {
    EnsureQtApplication();
    const QIcon file(QStringLiteral(":/assets/icon.png"));
    const QIcon icon = ProgramIcon();
    EXPECT_EQ(icon.availableSizes(), file.availableSizes());
    for (const int size : {64, 32, 16}) {
        EXPECT_EQ(Pixels(icon.pixmap(size)), Pixels(file.pixmap(size))) << size;
    }
}

}  // namespace
}  // namespace brisolant::test
