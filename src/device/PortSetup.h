#pragma once

#include <string>

#include "settings/Settings.h"

namespace brisolant {

// The device a CommPort setting names: a value beginning with "/" is a device path and stands
// as it is; otherwise its last character is the port number N, which maps to /dev/ttyS(N-1).
// Throws Failure(PortBadNumber) when that character is not a digit from 1 to 9.
std::string PortDevice(const std::string& commPort);

// BaudRate + "," + first character of Parity + "," + DataBits + "," + StopBits.
std::string LineSettingsString(const Settings& settings);

}  // namespace brisolant
