#include "device/qt/PortFailure.h"

#include <gtest/gtest.h>

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
         {QSerialPort::DeviceNotFoundError, "No such file or directory", false, {}},
         "Status: 209 The serial device is not there (unplugged or switched off): /dev/ttyUSB0"},
        {"no permission",
         {QSerialPort::PermissionError, "Permission denied", true, {}},
         "Status: 208 No permission to open the serial port: add the user to the dialout group "
         "(sudo adduser USER dialout), then log out and in again: /dev/ttyUSB0"},
        {"locked",
         {QSerialPort::PermissionError, "Permission error while locking the device", false,
          "brisolant (process 4242)"},
         "Status: 210 The serial port is in use by another program: /dev/ttyUSB0, held by "
         "brisolant (process 4242)"},
        {"busy",
         {QSerialPort::PermissionError, "Device or resource busy", false, {}},
         "Status: 210 The serial port is in use by another program: /dev/ttyUSB0: Device or "
         "resource busy"},
        {"other",
         {QSerialPort::UnknownError, "Input/output error", false, {}},
         "Status: 202 Cannot open the serial port: /dev/ttyUSB0: Input/output error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusText(OpenFailure(device, c.refusal)), c.status) << c.name;
    }
}

}  // namespace
}  // namespace brisolant
