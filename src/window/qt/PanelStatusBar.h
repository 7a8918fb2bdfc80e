#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <array>

class QLabel;

namespace brisolant {

// A status bar of three text panels side by side, each as wide as the width it was given.
// Panels that do not fit are clipped at the right edge; the bar never asks its window to grow.
// A text too long for the visible part of its panel ends in "…"; every panel shows its whole
// text as a tooltip.
class PanelStatusBar : public QWidget {
    Q_OBJECT

  public:
    explicit PanelStatusBar(QWidget* parent = nullptr);

    // Panels are numbered 1 to 3; widths in pixels. PanelText is the whole text.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    void SetPanelWidth(int panel, int pixels);
    QLabel* Panel(int panel) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void PlacePanels();
    void ShowText(std::size_t i);
    QString Shortened(std::size_t i);

    std::array<QLabel*, 3> panels_{};
    std::array<int, 3> widths_{};
    std::array<QString, 3> texts_;
    // The shown form of recent texts at the panels' present widths: panel 1 changes twice a scan
    // between the same few texts, and measuring a text is the dear part of showing it.
    std::array<QHash<QString, QString>, 3> shortened_;
};

}  // namespace brisolant
