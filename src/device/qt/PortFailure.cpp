#include "device/qt/PortFailure.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QLockFile>
#include <cerrno>

#include "common/ProcessRuns.h"

namespace brisolant {

namespace {

std::string Text(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// Qt Serial Port locks a port with a file "LCK.." + its name ('/' as '_') in the first of the
// usual lock folders it may write to; the file names the process that holds it. Qt removes the
// file of a process that has ended, unless it may not: another user's file in a folder that
// keeps each user's files, as a program of another user killed leaves it.
void FindLockHolder(const QString& portName, OpenRefusal& refusal) {
    QString name = portName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString folders[] = {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
                               QStringLiteral("/tmp"), QStringLiteral("/var/tmp"),
                               QDir::tempPath()};
    for (const QString& folder : folders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host;
        QString program;
        if (lock.getLockInfo(&pid, &host, &program) && pid > 0) {
            refusal.holder = (program.isEmpty() ? QStringLiteral("a program") : program) +
                             QStringLiteral(" (process %1)").arg(pid);
            refusal.holderEnded = !ProcessRuns(static_cast<pid_t>(pid));
            refusal.lockFile = path;
            return;
        }
    }
}

// An account whose login shell lets nobody log in is a service's (the package's "brisolant").
QString ServiceAccount() {
    const passwd* account = ::getpwuid(::geteuid());
    if (account == nullptr || account->pw_shell == nullptr || account->pw_name == nullptr) {
        return {};
    }
    const QString shell = QString::fromLocal8Bit(account->pw_shell);
    if (!shell.endsWith(QStringLiteral("/nologin")) && !shell.endsWith(QStringLiteral("/false"))) {
        return {};
    }
    return QString::fromLocal8Bit(account->pw_name);
}

std::string PermissionAdvice(const std::string& device, const OpenRefusal& refusal) {
    if (refusal.serviceAccount.isEmpty()) {
        return "add the user to the dialout group (sudo adduser USER dialout), then log out and "
               "in again: " +
               device;
    }
    const std::string account = Text(refusal.serviceAccount);
    return "add the service's account " + account +
           " to the dialout group (SupplementaryGroups=dialout in its unit, or sudo adduser " +
           account + " dialout), then restart the service: " + device;
}

}  // namespace

Failure OpenFailure(const std::string& device, const OpenRefusal& refusal) {
    switch (refusal.error) {
        case QSerialPort::DeviceNotFoundError:
            return Failure(FailureCode::PortDeviceMissing, device);
        case QSerialPort::PermissionError:
            if (refusal.accessDenied) {
                return Failure(FailureCode::PortPermissionDenied,
                               PermissionAdvice(device, refusal));
            }
            if (refusal.holderEnded) {
                return Failure(FailureCode::PortInUse,
                               device + ": its lock file " + Text(refusal.lockFile) + " names " +
                                   Text(refusal.holder) +
                                   ", which no longer runs; remove that stale lock file");
            }
            if (!refusal.holder.isEmpty()) {
                return Failure(FailureCode::PortInUse,
                               device + ", held by " + Text(refusal.holder));
            }
            return Failure(FailureCode::PortInUse, device + ": " + Text(refusal.errorText));
        default:
            return Failure(FailureCode::PortOpenFailed, device + ": " + Text(refusal.errorText));
    }
}

OpenRefusal ExplainRefusal(const std::string& device, const QString& portName,
                           QSerialPort::SerialPortError error, const QString& errorText) {
    OpenRefusal refusal{error, errorText, false, {}, false, {}, {}};
    if (error == QSerialPort::PermissionError) {
        refusal.accessDenied = access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
        if (refusal.accessDenied) {
            refusal.serviceAccount = ServiceAccount();
        } else {
            FindLockHolder(portName, refusal);
        }
    }
    return refusal;
}

}  // namespace brisolant
