#include <QApplication>
#include <QIcon>

#include "window/qt/frmMain.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisolant"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    frmMain window(QCoreApplication::applicationDirPath().toStdString());
    window.show();
    return QApplication::exec();
}
