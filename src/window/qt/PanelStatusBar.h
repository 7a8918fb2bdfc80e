#pragma once

#include <QWidget>
#include <array>

class QLabel;

// A status bar of three text panels side by side, each as wide as the width it was given.
// Panels that do not fit are clipped at the right edge; the bar never asks its window to grow.
class PanelStatusBar : public QWidget {
    Q_OBJECT

  public:
    explicit PanelStatusBar(QWidget* parent = nullptr);

    // Panels are numbered 1 to 3; widths in pixels.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    void SetPanelWidth(int panel, int pixels);
    QLabel* Panel(int panel) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlacePanels();

    std::array<QLabel*, 3> m_panels{};
    std::array<int, 3> m_widths{};
};
