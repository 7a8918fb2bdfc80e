#include "device/qt/QtPortWatch.h"

#include <QDir>
#include <QFileInfo>

namespace brisolant {

QtPortWatch::QtPortWatch(QObject* parent, int tickMs) : QObject(parent) {
    tick_.setInterval(tickMs);
    connect(&tick_, &QTimer::timeout, this, &QtPortWatch::Fire);
}

void QtPortWatch::Start(const std::string& device) {
    Stop();
    folders_ = new QFileSystemWatcher(this);
    connect(folders_, &QFileSystemWatcher::directoryChanged, this, &QtPortWatch::Fire);
    const QString path = QString::fromLocal8Bit(device.c_str());
    WatchFolderOf(path);
    const QFileInfo link(path);
    if (link.isSymLink()) {
        WatchFolderOf(link.symLinkTarget());
    }
    tick_.start();
}

void QtPortWatch::Stop() {
    tick_.stop();
    if (folders_ != nullptr) {
        // Stop may run inside the watcher's own signal: it goes once that is over.
        folders_->disconnect(this);
        folders_->deleteLater();
        folders_ = nullptr;
    }
}

void QtPortWatch::Fire() {
    if (on_change_) {
        on_change_();
    }
}

// A folder that is not there yet (/dev/serial exists only while a USB serial device is
// plugged in) is watched through the nearest one that is.
void QtPortWatch::WatchFolderOf(const QString& path) {
    QDir folder = QFileInfo(path).absoluteDir();
    while (!folder.exists() && !folder.isRoot()) {
        folder.setPath(QFileInfo(folder.absolutePath()).absolutePath());
    }
    const QString name = folder.absolutePath();
    if (!folders_->directories().contains(name)) {
        folders_->addPath(name);
    }
}

}  // namespace brisolant
