#include "common/qt/TwipsLayout.h"

#include <QAbstractButton>
#include <QLabel>
#include <QtMath>

namespace brisolant {

namespace {

constexpr double kTwipsPerInch = 1440;

constexpr int kNarrowestStretch = 70;
constexpr int kStretchStep = 5;

bool Fits(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty()) {
            return true;  // a picture or a plain shape
        }
        if (label->wordWrap()) {
            return label->heightForWidth(label->width()) <= label->height();
        }
    }
    return widget->sizeHint().width() <= widget->width();
}

}  // namespace

int TwipsToPixels(const QWidget& widget, int twips) {
    return qRound(twips * widget.logicalDpiX() / kTwipsPerInch);
}

int PixelsToTwips(const QWidget& widget, int pixels) {
    return qRound(pixels * kTwipsPerInch / widget.logicalDpiX());
}

void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsToPixels(*widget, left), TwipsToPixels(*widget, top),
                        TwipsToPixels(*widget, width), TwipsToPixels(*widget, height));
}

void FitCaption(QWidget* caption) {
    QFont font = caption->font();
    for (int stretch = 100; !Fits(caption) && stretch > kNarrowestStretch;) {
        stretch -= kStretchStep;
        font.setStretch(stretch);
        caption->setFont(font);
    }
}

void FitCaptions(QWidget* parent) {
    for (QLabel* label : parent->findChildren<QLabel*>()) {
        FitCaption(label);
    }
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        FitCaption(button);
    }
}

}  // namespace brisolant
