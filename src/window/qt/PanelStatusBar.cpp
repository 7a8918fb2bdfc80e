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
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto* label = new PanelLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(3);
        label->setMinimumSize(0, 0);
        m_panels[i] = label;
        m_widths[i] = kDefaultPanelWidth;
    }
    PlacePanels();
}

QLabel* PanelStatusBar::Panel(int panel) const {
    return panel >= 1 && panel <= 3 ? m_panels[static_cast<std::size_t>(panel - 1)] : nullptr;
}

void PanelStatusBar::SetPanelText(int panel, const QString& text) {
    if (panel >= 1 && panel <= 3) {
        const auto i = static_cast<std::size_t>(panel - 1);
        m_texts[i] = text;
        m_panels[i]->setToolTip(text);
        ShowText(i);
    }
}

QString PanelStatusBar::PanelText(int panel) const {
    return panel >= 1 && panel <= 3 ? m_texts[static_cast<std::size_t>(panel - 1)] : QString();
}

void PanelStatusBar::SetPanelWidth(int panel, int pixels) {
    if (panel >= 1 && panel <= 3) {
        m_widths[static_cast<std::size_t>(panel - 1)] = std::max(pixels, 0);
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
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i]->setGeometry(left, kGap, m_widths[i], std::max(height() - kGap, 0));
        left += m_widths[i] + kGap;
        m_shortened[i].clear();
        ShowText(i);
    }
}

void PanelStatusBar::ShowText(std::size_t i) {
    m_panels[i]->setText(Shortened(i));
}

QString PanelStatusBar::Shortened(std::size_t i) {
    auto& remembered = m_shortened[i];
    if (const auto found = remembered.constFind(m_texts[i]); found != remembered.cend()) {
        return found.value();
    }
    // The room the text has: the part of the panel inside the bar, less frame and indent.
    const QLabel* label = m_panels[i];
    const int frame = label->width() - label->contentsRect().width();
    const int visible = std::min(label->width(), width() - label->x());
    const int room = std::max(visible - frame - 2 * label->indent(), 0);
    const QString shown = label->fontMetrics().elidedText(m_texts[i], Qt::ElideRight, room);
    if (remembered.size() >= kRememberedTexts) {
        remembered.clear();
    }
    remembered.insert(m_texts[i], shown);
    return shown;
}

}  // namespace brisolant
