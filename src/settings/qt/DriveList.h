#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>

namespace brisolant {

// The roots of the mounted file systems that can hold data files ("/" always among them),
// kernel and runtime pseudo file systems left out.
QStringList MountedRoots();

// The drive list: one entry per mounted file system's root.
class DriveList : public QComboBox {
    Q_OBJECT

  public:
    explicit DriveList(QWidget* parent = nullptr);

    // Shows the file system that holds folder.
    void showDriveOf(const QString& folder);

  signals:
    // The operator picked a drive; root is its root folder.
    void driveChosen(const QString& root);
};

}  // namespace brisolant
