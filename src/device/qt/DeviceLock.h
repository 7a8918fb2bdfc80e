#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace brisolant {

// One reader per device, whatever name each program opens it by: /dev/serial/by-id/... in one
// settings file and /dev/ttyUSB0 in another lead to one device node, and the lock is an flock
// on that node's open file. It holds for root too, whom the terminal's exclusive-open flag does
// not stop, and the kernel lets go of it when the holder closes the port or ends.

// Takes the lock on the open device; false when another open file of the node holds it.
[[nodiscard]] bool LockDevice(int fd);

// The holder of an flock on the node that /proc/locks lists (its lines name the locked file by
// the device of its file system, major and minor in hex, and its inode), given the node's
// st_dev and st_ino. Nothing when no flock is held on it; 0 when one is held by a process that
// cannot be seen from here.
[[nodiscard]] std::optional<pid_t> FlockHolderIn(std::string_view locks, dev_t device, ino_t inode);

// The same, from this system's /proc/locks, for the device node described by node (stat of the
// port's name, or fstat of its open descriptor).
[[nodiscard]] std::optional<pid_t> DeviceLockHolder(const struct stat& node);

// "brisolant (process 4242)", or "another program" when the holder cannot be seen.
[[nodiscard]] std::string DeviceHolderText(pid_t holder);

}  // namespace brisolant
