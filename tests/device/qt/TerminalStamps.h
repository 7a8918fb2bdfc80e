#pragma once

// Pseudo-terminals as a link left behind finds them, for the tests of the port's link check.

#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "support/Waiting.h"

namespace brisolant::test {

inline bool Older(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

inline timespec ChangeTime(const std::string& path) {
    struct stat node {};
    ::lstat(path.c_str(), &node);
    return node.st_ctim;
}

// The terminal made anew after the link, as far as the kernel's stamps tell: a link left behind
// by a program that ended, and a new terminal with the old one's number. A chmod stamps the
// terminal's ctime, on the kernel's coarse clock: repeated until the stamp has moved past the
// link's.
inline bool MakeNewerThan(const std::string& terminal, const std::string& link) {
    return WaitUntil([&] {
        ::chmod(terminal.c_str(), 0620);
        return Older(ChangeTime(link), ChangeTime(terminal));
    });
}

// What a shell sets on its terminal: lines, echo, signals. Qt's open would set it raw and
// change its speed.
inline termios ShellSettings(int fd) {
    termios settings{};
    ::tcgetattr(fd, &settings);
    settings.c_lflag |= ICANON | ECHO | ISIG;
    settings.c_iflag |= ICRNL;
    cfsetspeed(&settings, B38400);
    ::tcsetattr(fd, TCSANOW, &settings);
    ::tcgetattr(fd, &settings);
    return settings;
}

inline bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) &&
           std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

}  // namespace brisolant::test
