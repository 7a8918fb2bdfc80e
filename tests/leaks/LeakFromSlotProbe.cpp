// A leak in the program's own code, reached the way most of its code is: from a slot that Qt's
// event loop calls. LeakSanitizer must report it under the suppressions the shell tests run
// with, which name the few Qt and fontconfig functions that keep their caches to the end, not
// whole libraries that lie on every stack. CTest passes only when the report names this file's
// slot; the program's own exit status is LeakSanitizer's.

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

namespace {

char* volatile g_lost = nullptr;

[[gnu::noinline]] void LeakFromASlot() {
    g_lost = new char[4096];
    g_lost = nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &app, [] {
        LeakFromASlot();
        QCoreApplication::quit();
    });
    timer.start(0);
    return QCoreApplication::exec();
}
