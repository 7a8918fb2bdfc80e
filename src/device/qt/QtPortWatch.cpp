#include "device/qt/QtPortWatch.h"

#include <QDir>
#include <QFileInfo>

namespace brisolant {

QtPortWatch::QtPortWatch(QObject* parent, int tickMs) : QObject(parent) {
    tick_.setInterval(tickMs);
    connect(&tick_, &QTimer::timeout, this, &QtPortWatch::Check);
}

void QtPortWatch::Start(const std::string& device) {
    Stop();
    folders_ = new QFileSystemWatcher(this);
    connect(folders_, &QFileSystemWatcher::directoryChanged, this, [this] {
        WatchFolders();
        Check();
    });
    device_ = QString::fromLocal8Bit(device.c_str());
    WatchFolders();
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

void QtPortWatch::Check() {
    if (on_change_ && QFileInfo::exists(device_)) {
        on_change_();
    }
}

// Called again on every change, so that a folder made meanwhile (/dev/serial/by-id appears
// with the first USB serial device) is watched from then on.
void QtPortWatch::WatchFolders() {
    WatchFolderOf(device_);
    const QFileInfo link(device_);
    if (link.isSymLink()) {
        WatchFolderOf(link.symLinkTarget());
    }
}

// A folder that is not there yet is watched through the nearest one that is.
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
