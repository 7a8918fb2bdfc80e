#include "PseudoTerminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace brisolant::station {
namespace {

[[noreturn]] void ThrowSystemError(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void SetRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        ThrowSystemError("cannot read the terminal settings");
    }
    cfmakeraw(&settings);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        ThrowSystemError("cannot set the terminal raw");
    }
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        ThrowSystemError("cannot open a pseudo-terminal");
    }
    try {
        if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
            ThrowSystemError("cannot unlock the pseudo-terminal");
        }
        const char* name = ptsname(master_);
        if (name == nullptr) {
            ThrowSystemError("cannot name the pseudo-terminal");
        }
        slavePath_ = name;
        slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) {
            ThrowSystemError("cannot open " + slavePath_);
        }
        SetRaw(slave_);
        // Writes wait in poll, never in write, so a slow program cannot stall the replies.
        if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0 ||
            fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) {
            ThrowSystemError("cannot configure the pseudo-terminal");
        }
    } catch (...) {
        if (slave_ >= 0) {
            close(slave_);
        }
        close(master_);
        throw;
    }
}

PseudoTerminal::~PseudoTerminal() {
    Close();
}

void PseudoTerminal::Close() {
    if (slave_ >= 0) {
        close(slave_);
    }
    if (master_ >= 0) {
        close(master_);
    }
    slave_ = -1;
    master_ = -1;
}

PortLink::PortLink(const std::string& linkPath, const std::string& target)
    : path_(linkPath), target_(target) {
    struct stat existing {};
    if (lstat(linkPath.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            throw std::runtime_error(linkPath + " exists and is not a symbolic link");
        }
        if (unlink(linkPath.c_str()) != 0) {
            ThrowSystemError("cannot replace " + linkPath);
        }
    }
    if (symlink(target.c_str(), linkPath.c_str()) != 0) {
        ThrowSystemError("cannot make the link " + linkPath);
    }
}

PortLink::~PortLink() {
    // Leave a link alone that another station has since taken over.
    char target[4096];
    const ssize_t length = readlink(path_.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == target_) {
        unlink(path_.c_str());
    }
}

}  // namespace brisolant::station
