#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <memory>

namespace brisolant::test {

// Holds the application object for the run and ends it after the last test, before the
// program's exit handlers, which Qt's objects do not survive.
class QtApplicationEnvironment : public ::testing::Environment {
  public:
    QtApplicationEnvironment() : app_(std::make_unique<QApplication>(argc_, argv_)) {}
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[12] = "shell_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// Widgets need an application object; the first test that asks creates the one for the run.
inline void EnsureQtApplication() {
    if (QApplication::instance() == nullptr) {
        ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);
    }
}

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint position) {
    QMouseEvent event(type, position, widget->mapToGlobal(position), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A press and release, as a click of the left button delivers them.
inline void Click(QWidget* widget, QPoint position) {
    SendMouse(widget, QEvent::MouseButtonPress, position);
    SendMouse(widget, QEvent::MouseButtonRelease, position);
}

// The sequence a double click delivers: the second press arrives as the double click itself.
inline void DoubleClick(QWidget* widget, QPoint position) {
    Click(widget, position);
    SendMouse(widget, QEvent::MouseButtonDblClick, position);
    SendMouse(widget, QEvent::MouseButtonRelease, position);
}

inline void PressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

}  // namespace brisolant::test
