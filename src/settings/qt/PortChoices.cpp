#include "settings/qt/PortChoices.h"

#include <QDir>
#include <QSerialPortInfo>

namespace brisolant {

namespace {

QStringList Sorted(QStringList names) {
    names.sort();
    names.removeDuplicates();
    return names;
}

QStringList ByIdNames() {
    const QDir folder(QStringLiteral("/dev/serial/by-id"));
    QStringList names;
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        names.append(folder.absoluteFilePath(name));
    }
    return names;
}

}  // namespace

QStringList PortChoices(QStringList byIdNames, QStringList devices) {
    return QStringList{QStringLiteral("Comm 1"), QStringLiteral("Comm 2"), QStringLiteral("Comm 3"),
                       QStringLiteral("Comm 4")} +
           Sorted(std::move(byIdNames)) + Sorted(std::move(devices));
}

QStringList PortChoices() {
    QStringList devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        if (!port.systemLocation().isEmpty()) {
            devices.append(port.systemLocation());
        }
    }
    return PortChoices(ByIdNames(), devices);
}

}  // namespace brisolant
