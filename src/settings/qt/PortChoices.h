#pragma once

#include <QStringList>

// The port list: "Comm 1" to "Comm 4", then the serial devices present on the machine as full
// paths.
QStringList PortChoices();
