#include "about/qt/frmAbout.h"

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Brisolant"));
}
