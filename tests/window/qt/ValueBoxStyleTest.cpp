#include "window/qt/ValueBoxStyle.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include "support/QtTestApp.h"
#include "support/SameLook.h"

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
    ExpectSameLookThroughChanges<QLineEdit>(
        kept, plain,
        {
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
        });
}

}  // namespace
}  // namespace brisolant::test
