// Loaded into the real program by the end-to-end tests (LD_PRELOAD), never part of it: each
// SIGUSR1 the program gets toggles View > Data, from the event loop, as an operator's click
// would. Standard error says "toggling View > Data" before and "View > Data toggled" once the
// command has returned, so a test can tell a window that went on from one held by the command.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>

namespace {

int wakeUp[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
}

QAction* DataMenu() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* action = window->findChild<QAction*>(QStringLiteral("mnuData"))) {
            return action;
        }
    }
    return nullptr;
}

void Toggle() {
    char bytes[16];
    ssize_t requests = 0;
    for (ssize_t n = 0; (n = ::read(wakeUp[0], bytes, sizeof bytes)) > 0;) {
        requests += n;
    }
    QAction* data = DataMenu();
    for (; data != nullptr && requests > 0; --requests) {
        std::fputs("toggling View > Data\n", stderr);
        data->trigger();
        std::fputs("View > Data toggled\n", stderr);
    }
}

// Runs as the application object is made.
void Start() {
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("toggle-data-view: pipe2");
        return;
    }
    auto* notifier =
        new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, Toggle);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &action, nullptr);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
