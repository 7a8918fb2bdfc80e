#include "settings/qt/CaptionFit.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

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

void FitCaption(QWidget* widget) {
    QFont font = widget->font();
    for (int stretch = 100; !Fits(widget) && stretch > kNarrowestStretch;) {
        stretch -= kStretchStep;
        font.setStretch(stretch);
        widget->setFont(font);
    }
}

}  // namespace

void FitCaptions(QWidget* parent) {
    for (QLabel* label : parent->findChildren<QLabel*>()) {
        FitCaption(label);
    }
    for (QAbstractButton* button : parent->findChildren<QAbstractButton*>()) {
        FitCaption(button);
    }
}
