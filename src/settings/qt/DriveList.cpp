#include "settings/qt/DriveList.h"

#include <QDir>
#include <QFile>
#include <QSet>

namespace brisolant {

namespace {

bool IsPseudoFileSystem(const MountPoint& mount) {
    static const QSet<QByteArray> kPseudoTypes = {
        "proc",    "sysfs",   "devtmpfs",    "devpts",   "cgroup", "cgroup2",    "securityfs",
        "debugfs", "tracefs", "pstore",      "bpf",      "mqueue", "hugetlbfs",  "configfs",
        "fusectl", "autofs",  "binfmt_misc", "efivarfs", "nsfs",   "rpc_pipefs", "squashfs"};
    if (kPseudoTypes.contains(mount.type)) {
        return true;
    }
    for (const char* systemTree : {"/proc", "/sys", "/dev", "/run", "/snap"}) {
        const QString tree = QString::fromLatin1(systemTree);
        if (mount.root == tree || mount.root.startsWith(tree + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

// A mount point as mountinfo writes it: space, tab, line feed and backslash as three octal
// digits after a backslash.
QString Unescaped(const QByteArray& field) {
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code < 256) {
                bytes.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        bytes.append(field[i]);
    }
    return QFile::decodeName(bytes);
}

bool Holds(const QString& root, const QString& folder) {
    return root == QLatin1String("/") || folder == root ||
           folder.startsWith(root + QLatin1Char('/'));
}

}  // namespace

QList<MountPoint> MountPointsIn(const QByteArray& mountInfo) {
    QList<MountPoint> mounts;
    for (const QByteArray& line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 6 || separator + 1 >= fields.size()) {
            continue;
        }
        mounts.append({Unescaped(fields[4]), fields[separator + 1]});
    }
    return mounts;
}

QStringList DriveRoots(const QList<MountPoint>& mounts) {
    QStringList roots{QStringLiteral("/")};
    for (const MountPoint& mount : mounts) {
        if (!IsPseudoFileSystem(mount) && !roots.contains(mount.root)) {
            roots.append(mount.root);
        }
    }
    roots.sort();
    return roots;
}

QString DriveOf(const QString& folder, const QList<MountPoint>& mounts) {
    const QString path = QDir::cleanPath(folder);
    QString drive = QStringLiteral("/");
    for (const MountPoint& mount : mounts) {
        if (Holds(mount.root, path) && mount.root.size() > drive.size()) {
            drive = mount.root;
        }
    }
    return drive;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    if (mountInfo.open(QIODevice::ReadOnly)) {
        mounts_ = MountPointsIn(mountInfo.readAll());
    }
    addItems(DriveRoots(mounts_));
    connect(this, &QComboBox::activated, this,
            [this](int index) { emit driveChosen(itemText(index)); });
}

void DriveList::showDriveOf(const QString& folder) {
    const QString root = DriveOf(folder, mounts_);
    int index = findText(root);
    if (index < 0) {
        addItem(root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

}  // namespace brisolant
