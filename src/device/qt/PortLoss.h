#pragma once

#include <string>

namespace brisolant {

// Whether the device behind an open port has really gone, when Qt reports a failed read: Qt
// calls a read that returns no bytes an error, and such a read also happens on a device that is
// well (another reader took the bytes first, or the wake-up was spurious). Gone means its name
// leads nowhere or to another device, the descriptor reports a hang-up or an error, or the
// driver refuses to say what is waiting (EIO, ENXIO, ENODEV).
[[nodiscard]] bool DeviceGone(const std::string& device, int fd);

}  // namespace brisolant
