#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>

#include "device/PortWatch.h"

namespace brisolant {

// Watches for a closed port's device to come back: the folder of the device path and the
// folder the path leads to when it is a link (/dev/serial/by-id/... leads into /dev) tell at
// once when a node or link appears; a one-second tick catches what no folder tells, such as
// permissions set a moment after the node appears. It tells only when the path leads to
// something: an open attempt costs Qt a lock file synced to disk. Nothing runs while the port
// is open.
class QtPortWatch : public QObject, public PortWatch {
    Q_OBJECT

  public:
    static constexpr int kTickMs = 1000;

    explicit QtPortWatch(QObject* parent = nullptr, int tickMs = kTickMs);

    void SetHandler(std::function<void()> handler) { on_change_ = std::move(handler); }

    void Start(const std::string& device) override;
    void Stop() override;

    bool Running() const { return tick_.isActive(); }
    QStringList WatchedFolders() const {
        return folders_ != nullptr ? folders_->directories() : QStringList{};
    }

  private:
    void Check();
    void WatchFolders();
    void WatchFolderOf(const QString& path);

    // Made for each wait and let go after it, so an open port holds no watch at all.
    QFileSystemWatcher* folders_ = nullptr;
    QTimer tick_;
    std::function<void()> on_change_;
    QString device_;
};

}  // namespace brisolant
