#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QList>
#include <QString>
#include <QStringList>

namespace brisolant {

// A mounted file system: where it is mounted and its type.
struct MountPoint {
    QString root;
    QByteArray type;
};

// The mounted file systems as /proc/self/mountinfo text lists them. Reading that list asks no
// file system anything, so a share that has stopped answering is listed like any other.
QList<MountPoint> MountPointsIn(const QByteArray& mountInfo);
// The roots of those that can hold data files ("/" always among them, sorted), kernel and
// runtime pseudo file systems left out.
QStringList DriveRoots(const QList<MountPoint>& mounts);
// The root of the file system that holds the folder, by its path alone ("/" when none other
// does): a folder reached through a link counts where the link is.
QString DriveOf(const QString& folder, const QList<MountPoint>& mounts);

// The drive list: one entry per mounted file system's root. It never asks a file system
// anything (no statfs), so a hung share cannot hold up the dialog.
class DriveList : public QComboBox {
    Q_OBJECT

  public:
    explicit DriveList(QWidget* parent = nullptr);

    // Shows the file system that holds folder.
    void showDriveOf(const QString& folder);

  signals:
    // The operator picked a drive; root is its root folder.
    void driveChosen(const QString& root);

  private:
    QList<MountPoint> mounts_;
};

}  // namespace brisolant
