#include "window/qt/ValueBoxStyle.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <functional>

#include "support/QtTestApp.h"

namespace brisolant::test {
namespace {

// A value box drawn through the kept frames must look exactly like one drawn by the
// application's style, through every change a box goes through after its first drawing.
TEST(ValueBoxStyleTest, ABoxLooksAsTheApplicationStyleDrawsItThroughEveryChange) {
    EnsureQtApplication();
    ValueBoxStyle style(nullptr);
    QLineEdit kept;
    kept.setStyle(&style);
    QLineEdit plain;
    for (QLineEdit* box : {&kept, &plain}) {
        box->setReadOnly(true);
        box->resize(131, 28);
        box->setText(QStringLiteral("PCL000000001"));
    }
    struct Change {
        const char* name;
        std::function<void(QLineEdit&)> apply;
    };
    const Change changes[] = {
        {"first drawing", [](QLineEdit&) {}},
        {"new text", [](QLineEdit& box) { box.setText(QStringLiteral("12.50 kg")); }},
        {"disabled", [](QLineEdit& box) { box.setEnabled(false); }},
        {"enabled again", [](QLineEdit& box) { box.setEnabled(true); }},
        {"resized", [](QLineEdit& box) { box.resize(307, 28); }},
        {"other base colour",
         [](QLineEdit& box) {
             QPalette palette = box.palette();
             palette.setColor(QPalette::Base, Qt::yellow);
             box.setPalette(palette);
         }},
    };
    for (const Change& change : changes) {
        change.apply(kept);
        change.apply(plain);
        EXPECT_EQ(kept.grab().toImage(), plain.grab().toImage()) << change.name;
    }
}

}  // namespace
}  // namespace brisolant::test
