#include "settings/qt/DriveList.h"

#include <QSet>
#include <QStorageInfo>

namespace brisolant {

namespace {

bool IsPseudoFileSystem(const QStorageInfo& volume) {
    static const QSet<QByteArray> kPseudoTypes = {
        "proc",    "sysfs",   "devtmpfs",    "devpts",   "cgroup", "cgroup2",    "securityfs",
        "debugfs", "tracefs", "pstore",      "bpf",      "mqueue", "hugetlbfs",  "configfs",
        "fusectl", "autofs",  "binfmt_misc", "efivarfs", "nsfs",   "rpc_pipefs", "squashfs"};
    if (kPseudoTypes.contains(volume.fileSystemType())) {
        return true;
    }
    const QString root = volume.rootPath();
    for (const char* systemTree : {"/proc", "/sys", "/dev", "/run", "/snap"}) {
        const QString tree = QString::fromLatin1(systemTree);
        if (root == tree || root.startsWith(tree + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

}  // namespace

QStringList MountedRoots() {
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !IsPseudoFileSystem(volume) &&
            !roots.contains(volume.rootPath())) {
            roots.append(volume.rootPath());
        }
    }
    roots.sort();
    return roots;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    addItems(MountedRoots());
    connect(this, &QComboBox::activated, this,
            [this](int index) { emit driveChosen(itemText(index)); });
}

void DriveList::showDriveOf(const QString& folder) {
    QString root = QStorageInfo(folder).rootPath();
    if (root.isEmpty()) {
        root = QStringLiteral("/");
    }
    int index = findText(root);
    if (index < 0) {
        addItem(root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

}  // namespace brisolant
