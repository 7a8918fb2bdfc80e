#include "device/qt/PortLoss.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>

namespace brisolant {
namespace {

bool NameLeadsElsewhere(const std::string& device, int fd) {
    struct stat named {};
    struct stat opened {};
    return ::stat(device.c_str(), &named) != 0 || ::fstat(fd, &opened) != 0 ||
           named.st_rdev != opened.st_rdev;
}

bool HungUp(int fd) {
    pollfd watched{fd, POLLIN, 0};
    int result = 0;
    do {
        result = ::poll(&watched, 1, 0);
    } while (result < 0 && errno == EINTR);
    return result < 0 || (watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Asks how many bytes wait rather than reading: a read would take bytes that belong to Qt's
// buffer. A hung-up terminal answers EIO.
bool DriverRefuses(int fd) {
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) == 0) {
        return false;
    }
    return errno == EIO || errno == ENXIO || errno == ENODEV;
}

}  // namespace

bool DeviceGone(const std::string& device, int fd) {
    return NameLeadsElsewhere(device, fd) || HungUp(fd) || DriverRefuses(fd);
}

}  // namespace brisolant
