#include "window/qt/PanelLabel.h"

#include <gtest/gtest.h>

#include "support/QtTestApp.h"
#include "support/SameLook.h"

namespace brisolant::test {
namespace {

// A panel that keeps its text laid out must look exactly like a QLabel showing the same text,
// through every change a status panel goes through.
TEST(PanelLabelTest, APanelLooksAsAQLabelDrawsItThroughEveryChange) {
    EnsureQtApplication();
    PanelLabel kept;
    QLabel plain;
    for (QLabel* label : {static_cast<QLabel*>(&kept), &plain}) {
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(3);
        label->resize(240, 22);
        label->setText(QStringLiteral("Status: Waiting Idle"));
    }
    ExpectSameLookThroughChanges<QLabel>(
        kept, plain,
        {
            {"first drawing", [](QLabel&) {}},
            {"new text",
             [](QLabel& label) { label.setText(QStringLiteral("Status: Receiving Data")); }},
            {"a text seen before",
             [](QLabel& label) { label.setText(QStringLiteral("Status: Waiting Idle")); }},
            {"a text wider than the panel",
             [](QLabel& label) {
                 label.setText(
                     QStringLiteral("Status: 202 Cannot open the serial port: /dev/ttyS2: No "
                                    "such file or directory"));
             }},
            {"no text", [](QLabel& label) { label.setText(QString()); }},
            {"odd height and glyphs below the line",
             [](QLabel& label) {
                 label.resize(180, 27);
                 label.setText(QStringLiteral("File: /tmp/gypsy/LOG-344.txt"));
             }},
            {"bigger font",
             [](QLabel& label) {
                 QFont font = label.font();
                 font.setPointSize(font.pointSize() + 5);
                 label.setFont(font);
             }},
            {"two lines", [](QLabel& label) { label.setText(QStringLiteral("one\ntwo")); }},
            {"disabled",
             [](QLabel& label) {
                 label.setText(QStringLiteral("Status: Waiting Idle"));
                 label.setEnabled(false);
             }},
            {"enabled again", [](QLabel& label) { label.setEnabled(true); }},
        });
}

}  // namespace
}  // namespace brisolant::test
