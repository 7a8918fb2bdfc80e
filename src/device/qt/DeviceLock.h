#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>

namespace brisolant {

// One reader per device, whatever name each program opens it by: /dev/serial/by-id/... in one
// settings file and /dev/ttyUSB0 in another lead to one device node, and the lock is an flock
// on that node's open file. It holds for root too, whom the terminal's exclusive-open flag does
// not stop, and the kernel lets go of it when the holder closes the port or ends.

// Takes the lock on the open device; false when another open file of the node holds it.
[[nodiscard]] bool LockDevice(int fd);

// The holder of an flock on the device node described by node (stat of the port's name, or
// fstat of its open descriptor): nothing when none is held, 0 when its holder cannot be seen.
[[nodiscard]] std::optional<pid_t> DeviceLockHolder(const struct stat& node);

// "brisolant (process 4242)", or "another program" when the holder cannot be seen.
[[nodiscard]] std::string DeviceHolderText(pid_t holder);

}  // namespace brisolant
