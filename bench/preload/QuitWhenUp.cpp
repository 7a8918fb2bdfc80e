// Loaded into a program by bench/startup.sh (LD_PRELOAD), never part of it: ends the program
// once its event loop has taken its first turns, in which the windows shown before it ran are
// drawn, so that what is measured is the start-up alone.

#include <QCoreApplication>
#include <QTimer>

namespace {

void Start() {
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
