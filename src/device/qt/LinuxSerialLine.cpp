#include "device/qt/LinuxSerialLine.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include "device/CommPort.h"

namespace brisolant {

bool LinuxSerialLine::EnableParityMarking(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | ISTRIP);
    tio.c_iflag |= INPCK | PARMRK;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::optional<LinuxSerialLine::Counters> LinuxSerialLine::ReadCounters(int fd) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) {
        return std::nullopt;
    }
    Counters counters;
    counters.cts = icount.cts;
    counters.dsr = icount.dsr;
    counters.ring = icount.rng;
    counters.cd = icount.dcd;
    counters.frame = icount.frame;
    counters.overrun = icount.overrun;
    counters.parity = icount.parity;
    counters.brk = icount.brk;
    counters.bufferOverrun = icount.buf_overrun;
    return counters;
}

std::vector<std::int16_t> LinuxSerialLine::EventsBetween(const Counters& before,
                                                         const Counters& after) {
    const std::pair<int Counters::*, std::int16_t> kinds[] = {
        {&Counters::cts, kEventCts},         {&Counters::dsr, kEventDsr},
        {&Counters::cd, kEventCd},           {&Counters::ring, kEventRing},
        {&Counters::brk, kEventBreak},       {&Counters::frame, kEventFrame},
        {&Counters::overrun, kEventOverrun}, {&Counters::bufferOverrun, kEventRxOverflow},
        {&Counters::parity, kEventRxParity},
    };
    std::vector<std::int16_t> events;
    for (const auto& [count, code] : kinds) {
        if (after.*count != before.*count) {
            events.push_back(code);
        }
    }
    return events;
}

}  // namespace brisolant
