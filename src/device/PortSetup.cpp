#include "device/PortSetup.h"

#include "common/Failure.h"

namespace brisolant {

std::string PortDevice(const std::string& commPort) {
    if (!commPort.empty() && commPort.front() == '/') {
        return commPort;
    }
    const char last = commPort.empty() ? '\0' : commPort.back();
    if (last < '1' || last > '9') {
        throw Failure(FailureCode::PortBadNumber, "\"" + commPort + "\"");
    }
    return "/dev/ttyS" + std::to_string(last - '1');
}

std::string LineSettingsString(const Settings& settings) {
    const std::string parity = settings.Parity.substr(0, 1);
    return settings.BaudRate + "," + parity + "," + settings.DataBits + "," + settings.StopBits;
}

}  // namespace brisolant
