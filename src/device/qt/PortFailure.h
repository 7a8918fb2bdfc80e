#pragma once

#include <QSerialPort>
#include <QString>
#include <string>

#include "common/Failure.h"

namespace brisolant {

// What the system says about a port that would not open, beyond Qt's error kind.
struct OpenRefusal {
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;          // Qt's error string
    bool accessDenied = false;  // the user may not read and write the device node
    QString holder;             // the process that holds the port's lock file, if any
    bool holderEnded = false;   // the lock file names a process that no longer runs
    QString lockFile;           // the lock file that names the holder
    // The account the program runs as, when it is a service's (one without a login shell): the
    // advice is then for whoever set the service up, not for a user who can log in again.
    QString serviceAccount;
};

// The failure for a port that would not open, worded so the operator knows what to do: a
// device that is not there, a user or a service's account outside the dialout group, another
// program on the port.
[[nodiscard]] Failure OpenFailure(const std::string& device, const OpenRefusal& refusal);

// Looks up what the system says about a refused open of the device named portName.
[[nodiscard]] OpenRefusal ExplainRefusal(const std::string& device, const QString& portName,
                                         QSerialPort::SerialPortError error,
                                         const QString& errorText);

}  // namespace brisolant
