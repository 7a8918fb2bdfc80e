#include "window/qt/StatusLight.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdlib>

#include "device/LineStatusView.h"
#include "support/QtTestApp.h"

namespace brisolant::test {
namespace {

// The light as a circle drawn on its own and laid over whatever is beneath it.
QImage CircleOver(QImage beneath, const QRect& box, std::uint32_t colour) {
    QImage circle(box.size(), QImage::Format_ARGB32_Premultiplied);
    circle.fill(Qt::transparent);
    {
        QPainter painter(&circle);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(QColor(static_cast<int>(colour & 0xFF),
                                static_cast<int>((colour >> 8) & 0xFF),
                                static_cast<int>((colour >> 16) & 0xFF)));
        const int diameter = std::min(box.width(), box.height()) - 1;
        painter.drawEllipse(QRectF((box.width() - diameter) / 2.0, (box.height() - diameter) / 2.0,
                                   diameter, diameter));
    }
    QPainter(&beneath).drawImage(box.topLeft(), circle);
    return beneath;
}

// The largest difference in any colour channel of any pixel.
int LargestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 256;
    }
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

// Whether it fills its box itself or lets the window show through, the light looks like a
// circle laid over the window's background, in each of its colours, on a plain background and
// on one that is not: drawn straight onto the background, the circle's soft edge may round
// differently by a level or two of 255, which no eye can tell.
TEST(StatusLightTest, LooksLikeACircleOverTheWindowInEveryColourAndBackground) {
    EnsureQtApplication();
    for (const bool plain : {true, false}) {
        QWidget window;
        window.resize(200, 160);
        window.setAutoFillBackground(true);
        if (!plain) {
            QLinearGradient gradient(0, 0, 200, 160);
            gradient.setColorAt(0, Qt::white);
            gradient.setColorAt(1, Qt::darkCyan);
            QPalette palette = window.palette();
            palette.setBrush(QPalette::Window, gradient);
            window.setPalette(palette);
        }
        auto* light = new StatusLight(&window);
        const QRect box(30, 20, 137, 119);
        light->setGeometry(box);
        light->hide();
        const QImage beneath = window.grab().toImage();
        light->show();
        for (const std::uint32_t colour : {kLightGreen, kLightRed, kLightYellow, kLightGrey}) {
            light->SetColour(colour);
            EXPECT_LE(LargestDifference(window.grab().toImage(), CircleOver(beneath, box, colour)),
                      2)
                << (plain ? "plain" : "gradient") << " background, colour " << colour;
        }
    }
}

}  // namespace
}  // namespace brisolant::test
