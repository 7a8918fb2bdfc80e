// Loaded into the real program by bench/throughput.sh --view-open (LD_PRELOAD), never part of
// it: switches the data view on as an operator would, by triggering View > Data once the first
// record has made it available, so that the benchmark measures scans with the view open.

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

namespace {

QAction* DataMenu() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* action = window->findChild<QAction*>(QStringLiteral("mnuData"))) {
            return action;
        }
    }
    return nullptr;
}

// Switches the view on the first time the item is enabled and unchecked, from the event loop as
// a click would come, never inside the scan that enabled it; the connection ends with it.
void OpenWhenAvailable() {
    QAction* data = DataMenu();
    if (data == nullptr) {
        return;
    }
    auto* connection = new QMetaObject::Connection;
    const auto open = [data, connection] {
        if (data->isEnabled() && !data->isChecked()) {
            QObject::disconnect(*connection);
            delete connection;
            data->trigger();
        }
    };
    *connection = QObject::connect(data, &QAction::changed, data, open, Qt::QueuedConnection);
    open();
}

// Runs as the application object is made; the window exists once its event loop runs.
void Start() {
    QTimer::singleShot(0, QCoreApplication::instance(), OpenWhenAvailable);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
