#pragma once

#include <QGlyphRun>
#include <QImage>
#include <QString>
#include <QStyle>
#include <QTextLayout>
#include <QWidget>
#include <memory>
#include <vector>

namespace brisolant {

class AsciiGlyphs;

// A read-only value box that looks as a read-only QLineEdit does (its frame drawn by the style,
// which may keep it as a picture) but does the least a new value needs: the text is laid out
// once when it changes, printable ASCII from glyphs kept for its font (AsciiGlyphs), anything
// else by QTextLayout, and the box repaints only then. It takes the
// focus with Tab, and Ctrl+C and its context menu's Copy copy the whole value; text cannot be
// selected with the mouse. Screen readers read its accessible name and its value.
class ValueBox : public QWidget {
    Q_OBJECT

  public:
    explicit ValueBox(QWidget* parent = nullptr);

    void SetText(const QString& text);
    const QString& Text() const { return text_; }
    void Copy() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void LayOut();
    // Where the text's line begins in a room inside the frame.
    QPoint TextTopLeft(const QRect& room) const;
    bool DrawFromPictures(QPainter& painter, const QPoint& topLeft, const QRect& room,
                          const QRect& blank);

    // The longest stretch of a row of the box's room that is one opaque colour (0 for none).
    struct PlainRun {
        QRgb colour = 0;
        int left = 0;
        int right = -1;
    };
    const std::vector<PlainRun>& PlainRows(const QRect& room, QImage::Format format);

    struct PanelLook {
        QSize size;
        QRect room;
        QStyle::State state;
        qint64 palette = 0;
        QImage::Format format = QImage::Format_Invalid;
        bool operator==(const PanelLook&) const = default;
    };

    QString text_;
    bool placed_ = false;  // the text is in glyphs_, not in layout_
    QGlyphRun glyphs_;
    std::shared_ptr<AsciiGlyphs> glyphsOfFont_;  // found again when the font changes
    QTextLayout layout_;
    int ascent_ = 0;
    // The height the text's line takes, its ink included, as a QLineEdit measures it.
    int lineHeight_ = 0;
    // Where the text may be drawn: a new text repaints only there and where the old one was.
    QRect inkArea_;
    PanelLook plainLook_;
    std::vector<PlainRun> plainRows_;
};

}  // namespace brisolant
