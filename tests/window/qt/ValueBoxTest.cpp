#include "window/qt/ValueBox.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <memory>
#include <vector>

#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "window/qt/ValueBoxStyle.h"

namespace brisolant::test {
namespace {

QFont BoxFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(12);
    font.setBold(true);
    return font;
}

// The box beside the read-only line edit it stands for, in the same style, font and size.
void MakeAlike(ValueBox& box, QLineEdit& edit, QStyle& style, const QFont& font, int width) {
    box.setStyle(&style);
    edit.setStyle(&style);
    edit.setReadOnly(true);
    for (QWidget* widget : {static_cast<QWidget*>(&box), static_cast<QWidget*>(&edit)}) {
        widget->setFont(font);
        widget->resize(width, 28);
    }
}

// The same value in both, the edit showing it from its start as a box does.
void SetBoth(ValueBox& box, QLineEdit& edit, const QString& text) {
    box.SetText(text);
    edit.setText(text);
    edit.setCursorPosition(0);
}

// The widget drawn into an image of `format` over the window's background.
QImage Rendered(QWidget& widget, QImage::Format format) {
    QImage image(widget.size(), format);
    image.fill(widget.palette().window().color());
    widget.render(&image);
    return image;
}

// The box must look as the read-only QLineEdit it stands for, through a scan's changes.
TEST(ValueBoxTest, LooksAsAReadOnlyLineEditThroughEveryChange) {
    EnsureQtApplication();
    ValueBoxStyle style(nullptr);
    ValueBox box;
    QLineEdit edit;
    MakeAlike(box, edit, style, BoxFont(), 131);
    const auto setText = [&](const QString& text) { SetBoth(box, edit, text); };
    const auto same = [&](const char* what) {
        EXPECT_EQ(box.grab().toImage().convertToFormat(QImage::Format_ARGB32),
                  edit.grab().toImage().convertToFormat(QImage::Format_ARGB32))
            << what;
    };
    same("empty");
    setText(QStringLiteral("11/12/2026"));
    same("a date");
    setText(QStringLiteral("12.50 kg  "));
    same("trailing spaces");
    setText(
        QStringLiteral("PCL\x1d"
                       "0001 jg"));
    same("a group separator and descenders");
    setText(QStringLiteral("\u00c5\u01fa\u1ec6 \u222b\u0e14\u0e39\u0e4b"));
    same("ink above and below the line");
    box.resize(307, 28);
    edit.resize(307, 28);
    same("resized");
    box.setEnabled(false);
    edit.setEnabled(false);
    setText(QStringLiteral("1,234"));
    same("disabled");
}

// Printable ASCII is placed from glyphs kept for the font, not shaped again; each text must look
// as QLineEdit draws it after QTextLayout shaped it, kerned pairs and ligatures included, and a
// text beyond ASCII, shaped as before, must not disturb the texts after it.
TEST(ValueBoxTest, ValuesOfEveryKindLookAsAReadOnlyLineEditInEachFont) {
    EnsureQtApplication();
    ValueBoxStyle style(nullptr);
    QFont plain = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    plain.setPointSizeF(9);
    QFont serif(QStringLiteral("Serif"));
    serif.setPointSizeF(10.5);
    const QString texts[] = {
        QStringLiteral("0123456789"),
        QStringLiteral("987654321.0"),
        QStringLiteral("11/12/2026 10:42:07"),
        QStringLiteral("12.50 kg  "),
        QStringLiteral("26.31 lb"),
        QStringLiteral("[12.5] (cm) {x} <y>"),
        QStringLiteral("gjpqy Qg_,;"),
        QStringLiteral("AVATAR To Wa Yo LT P. F, \"LV\""),
        QStringLiteral("office fi fl ffi ffl"),
        QStringLiteral("PCL\x1d"
                       "0001\x1d"
                       "42"),
        QStringLiteral("PCL000000123"),
        QStringLiteral("PCL\u00c5\u00df\u20ac-12\u00e9"),
        QStringLiteral("PCL000000124"),
        QStringLiteral("~!@#$%^&*+=?'`"),
        QStringLiteral(" leading"),
        QString(),
    };
    for (const QFont& font : {BoxFont(), plain, serif}) {
        ValueBox box;
        QLineEdit edit;
        MakeAlike(box, edit, style, font, 240);
        for (const QString& text : texts) {
            SetBoth(box, edit, text);
            // Drawn into a pixmap, as grab() draws, and into an image, as the window's backing
            // store is drawn (where a box copies its glyphs' kept pictures).
            EXPECT_EQ(box.grab().toImage().convertToFormat(QImage::Format_ARGB32),
                      edit.grab().toImage().convertToFormat(QImage::Format_ARGB32))
                << font.toString().toStdString() << ": " << text.toStdString();
            for (const QImage::Format format :
                 {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32}) {
                EXPECT_EQ(Rendered(box, format), Rendered(edit, format))
                    << font.toString().toStdString() << ": " << text.toStdString() << " in "
                    << format;
            }
        }
    }
}

// The focus frame colours the ends of the rows the text stands on: the text between them must
// still look as a focused line edit draws it, the barcode's wide box as a short one.
TEST(ValueBoxTest, AFocusedBoxLooksAsAFocusedReadOnlyLineEdit) {
    EnsureQtApplication();
    ValueBoxStyle style(nullptr);
    QWidget window;
    auto* box = new ValueBox(&window);
    auto* edit = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    const auto focused = [&](QWidget& widget, QImage::Format format) {
        // Not by Tab, which has a line edit select its text.
        widget.setFocus(Qt::OtherFocusReason);
        EXPECT_TRUE(PumpUntil([&] { return widget.hasFocus(); }));
        return Rendered(widget, format);
    };
    for (const int width : {131, 307}) {
        MakeAlike(*box, *edit, style, BoxFont(), width);
        for (const QString& text :
             {QStringLiteral("PCL000000123                       "), QStringLiteral("12.50 kg")}) {
            SetBoth(*box, *edit, text);
            for (const QImage::Format format :
                 {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32}) {
                EXPECT_EQ(focused(*box, format), focused(*edit, format))
                    << width << ": " << text.toStdString() << " in " << format;
            }
        }
    }
}

// Counts a widget's paint events.
class PaintCount : public QObject {
  public:
    explicit PaintCount(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// A new text repaints only the room inside the frame, into the window's backing store: what it
// holds then must be what a whole repaint of the box draws (which looks as a line edit, above),
// through a scan's changes, in a box without the focus and in one holding it (whose focus frame
// lies in the room), as the barcode's does.
TEST(ValueBoxTest, ANewTextRepaintsTheRoomAloneAsTheWholeBoxWouldBeDrawn) {
    EnsureQtApplication();
    ValueBoxStyle style(nullptr);
    QWidget window;
    window.resize(330, 80);
    QLineEdit edit;
    std::vector<std::unique_ptr<PaintCount>> painted;
    std::vector<ValueBox*> boxes;
    for (const int top : {6, 40}) {
        auto* box = boxes.emplace_back(new ValueBox(&window));
        MakeAlike(*box, edit, style, BoxFont(), 307);
        box->move(10, top);
        painted.push_back(std::make_unique<PaintCount>(*box));
    }
    boxes[1]->setFocus();
    window.show();
    ASSERT_TRUE(PumpUntil([&] { return painted[0]->count > 0 && painted[1]->count > 0; }));
    for (const QString& text :
         {QStringLiteral("PCL000000123                       "), QStringLiteral("PCL7"),
          QStringLiteral("11/12/2026"), QStringLiteral("gjpqy Qg_,;"),
          QStringLiteral("\u00c5\u01fa\u1ec6 \u222b"), QStringLiteral("12.50 kg"), QString(),
          QStringLiteral("26.31 lb")}) {
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            ValueBox& box = *boxes[i];
            const int before = painted[i]->count;
            box.SetText(text);
            ASSERT_TRUE(PumpUntil([&] { return painted[i]->count > before; }));
            // Offscreen, the screen's picture of a window is its backing store.
            const QImage shown =
                window.screen()
                    ->grabWindow(window.winId(), box.x(), box.y(), box.width(), box.height())
                    .toImage();
            EXPECT_EQ(shown, Rendered(box, shown.format()))
                << (box.hasFocus() ? "focused: " : "") << text.toStdString();
        }
    }
}

TEST(ValueBoxTest, CtrlCAndTheContextMenuCopyTheWholeValue) {
    EnsureQtApplication();
    ValueBox box;
    box.SetText(
        QStringLiteral("PCL\x1d"
                       "0001"));
    QApplication::clipboard()->clear();
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(&box, &copy);
    EXPECT_EQ(QApplication::clipboard()->text(), box.Text());

    QApplication::clipboard()->clear();
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            menu->findChild<QAction*>(QStringLiteral("mnuCopy"))->trigger();
            menu->close();
        }
    });
    chooser.start(10);
    box.show();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), box.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&box, &menu);
    EXPECT_EQ(QApplication::clipboard()->text(), box.Text());
}

TEST(ValueBoxTest, TabMovesTheFocusFromBoxToBox) {
    EnsureQtApplication();
    QWidget window;
    auto* first = new ValueBox(&window);
    auto* second = new ValueBox(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    first->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(PumpUntil([&] { return first->hasFocus(); }));
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(first, &tab);
    EXPECT_TRUE(second->hasFocus());
}

// A screen reader reads the caption as the box's name and its text as its value.
TEST(ValueBoxTest, AScreenReaderReadsTheCaptionAndTheValue) {
    EnsureQtApplication();
    ValueBox box;
    box.setAccessibleName(QStringLiteral("Barcode"));
    box.SetText(QStringLiteral("1234567890"));
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->text(QAccessible::Name), "Barcode");
    EXPECT_EQ(reader->text(QAccessible::Value), "1234567890");
    EXPECT_TRUE(reader->state().readOnly);
    EXPECT_TRUE(reader->state().focusable);
}

}  // namespace
}  // namespace brisolant::test
