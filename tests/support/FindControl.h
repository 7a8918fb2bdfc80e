#pragma once

// Controls of a window found by their object names, as the window tests reach them.

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

namespace brisolant::test {

// The child of `window` of type Widget with this object name; a test failure, and nullptr,
// when there is none.
template <typename Widget>
Widget* FindControl(const QObject& window, const QString& name) {
    auto* control = window.findChild<Widget*>(name);
    if (control == nullptr) {
        ADD_FAILURE() << "no control named " << name.toStdString();
    }
    return control;
}

}  // namespace brisolant::test
