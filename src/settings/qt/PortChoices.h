#pragma once

#include <QStringList>

namespace brisolant {

// The port list: "Comm 1" to "Comm 4", then the stable names under /dev/serial/by-id/ (a USB
// adapter keeps its name there across replugs, while /dev/ttyUSB0 can change number), then the
// serial devices present on the machine, all as full paths.
QStringList PortChoices();

// The same list from given names: byIdNames as full paths, devices as full paths; each part
// sorted, without repeats.
QStringList PortChoices(QStringList byIdNames, QStringList devices);

}  // namespace brisolant
