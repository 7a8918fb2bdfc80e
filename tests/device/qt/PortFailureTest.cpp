#include "device/qt/PortFailure.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QSysInfo>

namespace brisolant {
namespace {

// What the operator reads for each way an open can be refused: enough to act on.
TEST(PortFailureTest, EachRefusalTellsTheOperatorWhatToDo) {
    struct Case {
        const char* name;
        OpenRefusal refusal;
        std::string status;
    };
    const std::string device = "/dev/ttyUSB0";
    const Case cases[] = {
        {"not there",
         {QSerialPort::DeviceNotFoundError, "No such file or directory", false, {}, false, {}, {}},
         "Status: 209 The serial device is not there (unplugged or switched off): /dev/ttyUSB0"},
        {"no permission",
         {QSerialPort::PermissionError, "Permission denied", true, {}, false, {}, {}},
         "Status: 208 No permission to open the serial port: add the user to the dialout group "
         "(sudo adduser USER dialout), then log out and in again: /dev/ttyUSB0"},
        {"no permission for a service's account",
         {QSerialPort::PermissionError, "Permission denied", true, {}, false, {}, "brisolant"},
         "Status: 208 No permission to open the serial port: add the service's account "
         "brisolant to the dialout group (SupplementaryGroups=dialout in its unit, or sudo "
         "adduser brisolant dialout), then restart the service: /dev/ttyUSB0"},
        {"locked",
         {QSerialPort::PermissionError,
          "Permission error while locking the device",
          false,
          "brisolant (process 4242)",
          false,
          {},
          {}},
         "Status: 210 The serial port is in use by another program: /dev/ttyUSB0, held by "
         "brisolant (process 4242)"},
        {"a lock left by a program that has ended",
         {QSerialPort::PermissionError,
          "Permission error while locking the device",
          false,
          "brisolant (process 4075)",
          true,
          "/run/lock/LCK.._dev_ttyUSB0",
          {}},
         "Status: 210 The serial port is in use by another program: /dev/ttyUSB0: its lock file "
         "/run/lock/LCK.._dev_ttyUSB0 names brisolant (process 4075), which no longer runs; "
         "remove that stale lock file"},
        {"busy",
         {QSerialPort::PermissionError, "Device or resource busy", false, {}, false, {}, {}},
         "Status: 210 The serial port is in use by another program: /dev/ttyUSB0: Device or "
         "resource busy"},
        {"other",
         {QSerialPort::UnknownError, "Input/output error", false, {}, false, {}, {}},
         "Status: 202 Cannot open the serial port: /dev/ttyUSB0: Input/output error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusText(OpenFailure(device, c.refusal)), c.status) << c.name;
    }
}

// A program killed leaves its lock file; where Qt may not remove it, the operator learns that
// its process has ended and which file to remove, not that a program long gone holds the port.
TEST(PortFailureTest, ALockFileOfAnEndedProcessIsNamedAsStale) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const QString portName = QStringLiteral("/dev/brisolant-stale-%1").arg(::getpid());
    QFile lock(QStringLiteral("/var/lock/LCK.._dev_brisolant-stale-%1").arg(::getpid()));
    if (!lock.open(QIODevice::WriteOnly)) {
        GTEST_SKIP() << "/var/lock cannot be written here";
    }
    lock.write(
        QStringLiteral("%1\nbrisolant\n%2\n").arg(child).arg(QSysInfo::machineHostName()).toUtf8());
    lock.close();

    const OpenRefusal refusal =
        ExplainRefusal(portName.toStdString(), portName, QSerialPort::PermissionError, "locked");
    lock.remove();
    EXPECT_TRUE(refusal.holderEnded);
    EXPECT_EQ(refusal.lockFile, lock.fileName());
    EXPECT_EQ(refusal.holder, QStringLiteral("brisolant (process %1)").arg(child));
}

}  // namespace
}  // namespace brisolant
