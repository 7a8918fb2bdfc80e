#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <functional>
#include <initializer_list>

namespace brisolant::test {

// One change made to a widget, named for the failure message.
template <typename Widget>
struct WidgetChange {
    const char* name;
    std::function<void(Widget&)> apply;
};

// A widget drawn a cheaper way must look exactly like the plain one it stands for: both go
// through the same changes, and after each their pictures are compared pixel for pixel.
template <typename Widget>
void ExpectSameLookThroughChanges(Widget& cheaper, Widget& plain,
                                  std::initializer_list<WidgetChange<Widget>> changes) {
    for (const WidgetChange<Widget>& change : changes) {
        change.apply(cheaper);
        change.apply(plain);
        EXPECT_EQ(cheaper.grab().toImage(), plain.grab().toImage()) << change.name;
    }
}

}  // namespace brisolant::test
