#include "window/qt/PanelStatusBar.h"

#include <QEvent>
#include <QLabel>

#include "window/qt/PanelLabel.h"

namespace brisolant {

namespace {
constexpr int kDefaultPanelWidth = 96;  // one inch, until the repaint rule sets the widths
constexpr int kGap = 2;
constexpr qsizetype kRememberedTexts = 16;
}  // namespace

PanelStatusBar::PanelStatusBar(QWidget* parent) : QWidget(parent) {
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* label = new PanelLabel(this);
        label->setObjectName(QStringLiteral("lblPanel%1").arg(i + 1));
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(3);
        label->setMinimumSize(0, 0);
        panels_[i] = label;
        widths_[i] = kDefaultPanelWidth;
    }
    PlacePanels();
}

QLabel* PanelStatusBar::Panel(int panel) const {
    return panel >= 1 && panel <= 3 ? panels_[static_cast<std::size_t>(panel - 1)] : nullptr;
}

void PanelStatusBar::SetPanelText(int panel, const QString& text) {
    if (panel >= 1 && panel <= 3) {
        const auto i = static_cast<std::size_t>(panel - 1);
        texts_[i] = text;
        panels_[i]->setToolTip(text);
        ShowText(i);
    }
}

QString PanelStatusBar::PanelText(int panel) const {
    return panel >= 1 && panel <= 3 ? texts_[static_cast<std::size_t>(panel - 1)] : QString();
}

void PanelStatusBar::SetPanelWidth(int panel, int pixels) {
    if (panel >= 1 && panel <= 3) {
        widths_[static_cast<std::size_t>(panel - 1)] = std::max(pixels, 0);
        PlacePanels();
    }
}

void PanelStatusBar::resizeEvent(QResizeEvent*) {
    PlacePanels();
}

void PanelStatusBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        PlacePanels();
    }
}

void PanelStatusBar::PlacePanels() {
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        panels_[i]->setGeometry(left, kGap, widths_[i], std::max(height() - kGap, 0));
        left += widths_[i] + kGap;
        shortened_[i].clear();
        ShowText(i);
    }
}

void PanelStatusBar::ShowText(std::size_t i) {
    panels_[i]->setText(Shortened(i));
}

QString PanelStatusBar::Shortened(std::size_t i) {
    auto& remembered = shortened_[i];
    if (const auto found = remembered.constFind(texts_[i]); found != remembered.cend()) {
        return found.value();
    }
    // The room the text has: the part of the panel inside the bar, less frame and indent.
    const QLabel* label = panels_[i];
    const int frame = label->width() - label->contentsRect().width();
    const int visible = std::min(label->width(), width() - label->x());
    const int room = std::max(visible - frame - 2 * label->indent(), 0);
    const QString shown = label->fontMetrics().elidedText(texts_[i], Qt::ElideRight, room);
    if (remembered.size() >= kRememberedTexts) {
        remembered.clear();
    }
    remembered.insert(texts_[i], shown);
    return shown;
}

}  // namespace brisolant
