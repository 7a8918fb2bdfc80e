#pragma once

// The application drawn in a dark palette, as a desktop's dark theme gives it, for the length of
// a test.

#include <QApplication>
#include <QPalette>

namespace brisolant::test {

inline QPalette DarkPalette() {
    const QColor window(53, 53, 53), base(35, 35, 35), light(230, 230, 230);
    QPalette dark;
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, light);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, light);
    dark.setColor(QPalette::Text, light);
    dark.setColor(QPalette::Button, window);
    dark.setColor(QPalette::ButtonText, light);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    }
    return dark;
}

// Sets the application's palette and puts the previous one back at the end of the scope.
class ApplicationPalette {
  public:
    explicit ApplicationPalette(const QPalette& palette) : previous_(QApplication::palette()) {
        QApplication::setPalette(palette);
    }
    ~ApplicationPalette() { QApplication::setPalette(previous_); }
    ApplicationPalette(const ApplicationPalette&) = delete;
    ApplicationPalette& operator=(const ApplicationPalette&) = delete;

  private:
    QPalette previous_;
};

}  // namespace brisolant::test
