#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace brisolant {

// Qt Serial Port neither marks bytes received with a parity error nor reports modem-line
// changes and line errors, so the few Linux termios and ioctl calls that do live here, apart
// from the rest of the port code.
class LinuxSerialLine {
  public:
    // The driver's running counts of line events for the port (TIOCGICOUNT).
    struct Counters {
        int cts = 0, dsr = 0, ring = 0, cd = 0;
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
    };

    // Makes the driver keep bytes with a parity or framing error, marked as \377 \0 X, and
    // check parity on input. Qt's own setting drops such bytes silently.
    [[nodiscard]] static bool EnableParityMarking(int fd);

    // Nothing when the device cannot count line events (a pseudo-terminal cannot).
    [[nodiscard]] static std::optional<Counters> ReadCounters(int fd);

    // The event codes for every count that rose, modem lines first.
    [[nodiscard]] static std::vector<std::int16_t> EventsBetween(const Counters& before,
                                                                 const Counters& after);
};

}  // namespace brisolant
