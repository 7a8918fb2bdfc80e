// Loaded into a serial terminal by bench/yardsticks.sh (LD_PRELOAD), never part of Brisolant: a
// pseudo-terminal has no modem lines, and a terminal program that reads or sets them (RTS, DTR)
// takes the failure for a lost device and closes it. Here those calls succeed on a
// pseudo-terminal, with every line reported low; every other call passes through unchanged.

#include <dlfcn.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>

namespace {

using IoctlCall = int (*)(int, unsigned long, void*);

IoctlCall RealIoctl() {
    static const auto real = reinterpret_cast<IoctlCall>(dlsym(RTLD_NEXT, "ioctl"));
    return real;
}

bool IsModemLineRequest(unsigned long request) {
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int result = RealIoctl()(fd, request, argument);
    if (result == 0 || !IsModemLineRequest(request) || (errno != ENOTTY && errno != EINVAL)) {
        return result;
    }
    if (request == TIOCMGET && argument != nullptr) {
        *static_cast<int*>(argument) = 0;
    }
    errno = 0;
    return 0;
}
