#include "device/qt/DeviceLock.h"

#include <sys/file.h>

#include <cerrno>

#include "common/FlockHolder.h"
#include "common/ProcessName.h"

namespace brisolant {

bool LockDevice(int fd) {
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    // Only another holder refuses the port: a device that takes no locks at all is opened as
    // before.
    return result == 0 || errno != EWOULDBLOCK;
}

std::optional<pid_t> DeviceLockHolder(const struct stat& node) {
    return FlockHolder(node);
}

std::string DeviceHolderText(pid_t holder) {
    return holder > 0 ? ProcessText(holder) : "another program";
}

}  // namespace brisolant
