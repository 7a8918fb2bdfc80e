#include "settings/qt/PortChoices.h"

#include <QSerialPortInfo>

QStringList PortChoices() {
    QStringList devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        if (!port.systemLocation().isEmpty()) {
            devices.append(port.systemLocation());
        }
    }
    devices.sort();
    devices.removeDuplicates();
    return QStringList{QStringLiteral("Comm 1"), QStringLiteral("Comm 2"), QStringLiteral("Comm 3"),
                       QStringLiteral("Comm 4")} +
           devices;
}
