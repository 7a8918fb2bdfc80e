#include "device/qt/TerminalLink.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "common/Failure.h"

namespace brisolant {
namespace {

// As many links as anything sensible chains; the system's own limit is larger.
constexpr int kMaxLinks = 16;
// The Unix98 pseudo-terminal slaves (/dev/pts/N) have majors 136 to 143.
constexpr unsigned int kFirstPtsMajor = 136;
constexpr unsigned int kLastPtsMajor = 143;

std::string LinkTarget(const std::string& link) {
    char target[4096];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
        return {};
    }
    std::string text(target, static_cast<std::size_t>(length));
    if (text.front() == '/') {
        return text;
    }
    const std::size_t slash = link.rfind('/');
    return slash == std::string::npos ? text : link.substr(0, slash + 1) + text;
}

bool IsPseudoTerminalSlave(const std::string& path, const struct stat& node) {
    const unsigned int number = major(node.st_rdev);
    return S_ISCHR(node.st_mode) &&
           ((number >= kFirstPtsMajor && number <= kLastPtsMajor) || path.starts_with("/dev/pts/"));
}

bool Older(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

std::optional<dev_t> CheckTerminalLink(const std::string& device) {
    std::string path = device;
    bool linked = false;
    struct stat link {};  // the last link, which names the terminal
    for (int hop = 0;; ++hop) {
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0) {
            return std::nullopt;  // nothing there: the open says so
        }
        if (!S_ISLNK(entry.st_mode)) {
            break;
        }
        if (hop == kMaxLinks) {
            return std::nullopt;
        }
        linked = true;
        link = entry;
        path = LinkTarget(path);
        if (path.empty()) {
            return std::nullopt;
        }
    }
    struct stat terminal {};
    if (!linked || ::stat(path.c_str(), &terminal) != 0 || !IsPseudoTerminalSlave(path, terminal)) {
        return std::nullopt;
    }
    if (Older(link.st_ctim, terminal.st_ctim)) {
        throw Failure(FailureCode::PortLinkStale, device + " -> " + path);
    }
    return terminal.st_rdev;
}

void ConfirmLinkedTerminal(const std::string& device, int fd, dev_t terminal) {
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_rdev != terminal) {
        throw Failure(FailureCode::PortLinkStale,
                      device + ": the link was changed while the port opened");
    }
}

}  // namespace brisolant
