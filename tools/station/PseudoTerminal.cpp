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
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        ThrowSystemError("cannot open a pseudo-terminal");
    }
    try {
        if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            ThrowSystemError("cannot unlock the pseudo-terminal");
        }
        const char* name = ptsname(m_master);
        if (name == nullptr) {
            ThrowSystemError("cannot name the pseudo-terminal");
        }
        m_slavePath = name;
        m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_slave < 0) {
            ThrowSystemError("cannot open " + m_slavePath);
        }
        SetRaw(m_slave);
        // Writes wait in poll, never in write, so a slow program cannot stall the replies.
        if (fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0 ||
            fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0) {
            ThrowSystemError("cannot configure the pseudo-terminal");
        }
    } catch (...) {
        if (m_slave >= 0) {
            close(m_slave);
        }
        close(m_master);
        throw;
    }
}

PseudoTerminal::~PseudoTerminal() {
    Close();
}

void PseudoTerminal::Close() {
    if (m_slave >= 0) {
        close(m_slave);
    }
    if (m_master >= 0) {
        close(m_master);
    }
    m_slave = -1;
    m_master = -1;
}

PortLink::PortLink(const std::string& linkPath, const std::string& target)
    : m_path(linkPath), m_target(target) {
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
    const ssize_t length = readlink(m_path.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == m_target) {
        unlink(m_path.c_str());
    }
}

}  // namespace brisolant::station
