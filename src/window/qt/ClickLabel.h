#pragma once

#include <QLabel>

namespace brisolant {

// A caption that reports a click of the left mouse button.
class ClickLabel : public QLabel {
    Q_OBJECT

  public:
    using QLabel::QLabel;

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace brisolant
