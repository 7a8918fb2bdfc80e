#include "window/qt/PanelStatusBar.h"

#include <QLabel>

namespace {
constexpr int kDefaultPanelWidth = 96;  // one inch, until the repaint rule sets the widths
constexpr int kGap = 2;
}  // namespace

PanelStatusBar::PanelStatusBar(QWidget* parent) : QWidget(parent) {
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto* label = new QLabel(this);
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
    if (QLabel* label = Panel(panel)) {
        label->setText(text);
    }
}

QString PanelStatusBar::PanelText(int panel) const {
    const QLabel* label = Panel(panel);
    return label ? label->text() : QString();
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

void PanelStatusBar::PlacePanels() {
    int left = 0;
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i]->setGeometry(left, kGap, m_widths[i], std::max(height() - kGap, 0));
        left += m_widths[i] + kGap;
    }
}
