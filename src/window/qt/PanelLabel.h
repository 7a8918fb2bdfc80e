#pragma once

#include <QHash>
#include <QLabel>
#include <QStaticText>

namespace brisolant {

// A status panel's label, drawn exactly as a QLabel draws one line of plain text, but with the
// text's layout kept: a QLabel shapes its text again at every paint, and panel 1 is repainted
// twice a scan between the same few texts. Other kinds of text are drawn by QLabel itself.
class PanelLabel : public QLabel {
    Q_OBJECT

  public:
    explicit PanelLabel(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    bool DrawsItself() const;
    const QStaticText& LaidOut(const QString& text);

    QHash<QString, QStaticText> laidOut_;
};

}  // namespace brisolant
