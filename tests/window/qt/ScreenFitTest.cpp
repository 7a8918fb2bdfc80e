#include "window/qt/ScreenFit.h"

#include <gtest/gtest.h>

#include <QRect>
#include <QWidget>

#include "support/QtTestApp.h"

namespace brisolant::test {
namespace {

// A window not yet shown, 600 by 400 at (50, 50), that may not be smaller than 200 by 100: the
// frame it will have is allowed for.
TEST(ScreenFitTest, TheWindowWithItsFrameLiesWithinTheFreePartOfTheScreen) {
    EnsureQtApplication();
    const QSize f = FrameAllowance(QWidget());
    ASSERT_GT(f.height(), 0);
    struct Case {
        const char* name;
        QRect available;
        QRect expected;  // the window's place, frame included
    };
    const Case cases[] = {
        {"room enough", QRect(0, 0, 1920, 1080), QRect(QPoint(50, 50), QSize(600, 400) + f)},
        {"too low", QRect(0, 0, 1920, 300), QRect(50, 0, 600 + f.width(), 300)},
        {"too narrow, a panel on the left", QRect(100, 0, 400, 1080),
         QRect(100, 50, 400, 400 + f.height())},
        {"smaller than its minimum", QRect(0, 30, 150, 80),
         QRect(QPoint(0, 30), QSize(200, 100) + f)},
    };
    for (const Case& c : cases) {
        QWidget window;
        window.setMinimumSize(200, 100);
        window.setGeometry(50, 50, 600, 400);
        FitIntoScreen(window, c.available);
        EXPECT_EQ(QRect(window.pos(), window.size() + f), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace brisolant::test
