#include <QApplication>
#include <QIcon>
#include <csignal>

#include "window/qt/frmMain.h"

int main(int argc, char* argv[]) {
    // A data file at the size limit must fail the one append (and be reported), not end the
    // program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisolant"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    frmMain window(QCoreApplication::applicationDirPath().toStdString());
    window.show();
    return QApplication::exec();
}
