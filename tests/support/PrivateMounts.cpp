#include "support/PrivateMounts.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace brisolant::test {
namespace {

std::string whyShared = "not tried";

std::string SystemReason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const ssize_t written = ::write(fd, text.data(), text.size());
    const int error = errno;
    ::close(fd);
    errno = error;
    return written == static_cast<ssize_t>(text.size());
}

// The same identity inside the new user namespace as outside, so that files keep their owners
// and the tests see who they are.
std::string MapOwnIdentity(uid_t uid, gid_t gid) {
    const std::string user = std::to_string(uid) + " " + std::to_string(uid) + " 1";
    const std::string group = std::to_string(gid) + " " + std::to_string(gid) + " 1";
    // An unprivileged process may map its group only once it has given up setgroups.
    if (!WriteProcFile("/proc/self/setgroups", "deny")) {
        return SystemReason("writing /proc/self/setgroups");
    }
    if (!WriteProcFile("/proc/self/uid_map", user)) {
        return SystemReason("writing /proc/self/uid_map");
    }
    if (!WriteProcFile("/proc/self/gid_map", group)) {
        return SystemReason("writing /proc/self/gid_map");
    }
    return "";
}

std::string EnterOwnMountNamespace() {
    if (::geteuid() == 0) {
        return ::unshare(CLONE_NEWNS) == 0 ? "" : SystemReason("unshare(CLONE_NEWNS)");
    }
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
        return SystemReason("unshare(CLONE_NEWUSER|CLONE_NEWNS)");
    }
    return MapOwnIdentity(uid, gid);
}

std::string RealPath(const char* path) {
    char real[PATH_MAX];
    return ::realpath(path, real) != nullptr ? std::string(real) : std::string();
}

// The mounts made so far, taken away again when a later one fails.
class Mounts {
  public:
    bool Mount(const char* source, const char* target, const char* type, unsigned long flags,
               const char* options) {
        if (::mount(source, target, type, flags, options) != 0) {
            reason_ = SystemReason(std::string("mounting ") + (type != nullptr ? type : source) +
                                   " on " + target);
            return false;
        }
        made_.push_back(target);
        return true;
    }

    void Fail(const std::string& reason) { reason_ = reason; }

    // Empty when every mount was made; otherwise the reason, with the mounts taken away.
    std::string Outcome() {
        if (!reason_.empty()) {
            for (auto target = made_.rbegin(); target != made_.rend(); ++target) {
                ::umount2(target->c_str(), MNT_DETACH);
            }
        }
        return reason_;
    }

  private:
    std::vector<std::string> made_;
    std::string reason_;
};

// /dev/ptmx opens the instance of the devpts beside it when it is a link to pts/ptmx; the
// device node opens the machine's, so the new instance's ptmx is bound over it.
bool LeadPtmxToTheNewInstance(Mounts& mounts) {
    struct stat ptmx {};
    if (::lstat("/dev/ptmx", &ptmx) != 0) {
        mounts.Fail(SystemReason("/dev/ptmx"));
        return false;
    }
    if (S_ISLNK(ptmx.st_mode)) {
        if (RealPath("/dev/ptmx") == "/dev/pts/ptmx") {
            return true;
        }
        mounts.Fail("/dev/ptmx is a link that does not lead to /dev/pts/ptmx");
        return false;
    }
    return mounts.Mount("/dev/pts/ptmx", "/dev/ptmx", nullptr, MS_BIND, nullptr);
}

// Qt Serial Port puts its lock files in /var/lock, which is mostly a link to /run/lock.
bool MountOwnLockFolders(Mounts& mounts) {
    constexpr unsigned long kFlags = MS_NOSUID | MS_NODEV | MS_NOEXEC;
    if (!mounts.Mount("tmpfs", "/run/lock", "tmpfs", kFlags, "mode=1777,size=4m")) {
        return false;
    }
    const std::string varLock = RealPath("/var/lock");
    if (varLock.empty() || varLock == RealPath("/run/lock")) {
        return true;
    }
    return mounts.Mount("tmpfs", varLock.c_str(), "tmpfs", kFlags, "mode=1777,size=4m");
}

// A mount point as /proc/self/mountinfo writes it, with blanks and the like as octal escapes.
std::string Unescaped(const std::string& field) {
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            path += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

// The mount points of the FUSE file systems in this namespace.
std::vector<std::filesystem::path> FuseMountPoints() {
    std::vector<std::filesystem::path> points;
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE OPTIONS
        std::istringstream fields(line);
        std::string field;
        std::vector<std::string> before;
        while (fields >> field && field != "-") {
            before.push_back(field);
        }
        std::string type;
        fields >> type;
        if (before.size() >= 5 && (type == "fuse" || type.starts_with("fuse."))) {
            points.push_back(Unescaped(before[4]));
        }
    }
    return points;
}

// Whether the path lies beneath the folder, not at it.
bool IsBeneath(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && rest != path.end();
}

// The FUSE folders in the temporary folder are other tests' (a folder that stops answering on
// demand, say); those elsewhere may hold this very program or its files, and stay. Out of this
// namespace only; best effort, as a user namespace may not unmount what it was given.
void DetachOtherTestsFuseFolders() {
    std::error_code error;
    const std::filesystem::path temporary =
        std::filesystem::canonical(std::filesystem::temp_directory_path(error), error);
    if (error) {
        return;
    }
    for (const std::filesystem::path& point : FuseMountPoints()) {
        if (IsBeneath(point, temporary)) {
            ::umount2(point.c_str(), MNT_DETACH);
        }
    }
}

std::string MountOwnTerminalsAndLockFolders() {
    // First of all: from here on nothing mounted in this namespace reaches the machine's
    // mounts, above all not a devpts over the machine's /dev/pts.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return SystemReason("making the mounts private");
    }
    DetachOtherTestsFuseFolders();
    Mounts mounts;
    if (mounts.Mount("devpts", "/dev/pts", "devpts", MS_NOSUID | MS_NOEXEC,
                     "newinstance,ptmxmode=0666") &&
        LeadPtmxToTheNewInstance(mounts)) {
        MountOwnLockFolders(mounts);
    }
    return mounts.Outcome();
}

}  // namespace

std::string MakeMountsPrivate() {
    whyShared = EnterOwnMountNamespace();
    if (whyShared.empty()) {
        whyShared = MountOwnTerminalsAndLockFolders();
    }
    return whyShared;
}

const std::string& WhyMountsAreShared() {
    return whyShared;
}

}  // namespace brisolant::test
