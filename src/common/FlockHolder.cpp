#include "common/FlockHolder.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <vector>

#include "common/PosixFile.h"

namespace brisolant {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            break;
        }
        line.remove_prefix(start);
        const std::size_t end = std::min(line.find_first_of(" \t"), line.size());
        words.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    return words;
}

template <typename Number>
bool ReadNumber(std::string_view text, Number& number, int base) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
    return error == std::errc() && end == text.data() + text.size();
}

// "MAJOR:MINOR:INODE", as /proc/locks names a locked file.
bool NamesFile(std::string_view text, dev_t device, ino_t inode) {
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) {
        return false;
    }
    unsigned int fileMajor = 0;
    unsigned int fileMinor = 0;
    unsigned long long fileInode = 0;
    return ReadNumber(text.substr(0, first), fileMajor, 16) &&
           ReadNumber(text.substr(first + 1, second - first - 1), fileMinor, 16) &&
           ReadNumber(text.substr(second + 1), fileInode, 10) && fileMajor == major(device) &&
           fileMinor == minor(device) && fileInode == inode;
}

std::string ReadAll(const char* path) {
    std::string text;
    const FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        return text;
    }
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(file.Get(), buffer, sizeof buffer)) > 0 ||
           (count < 0 && errno == EINTR)) {
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }
    return text;
}

}  // namespace

// A line reads "1: FLOCK  ADVISORY  WRITE 4242 00:05:6 0 EOF"; a process waiting for the lock
// has a line of its own, "1: -> FLOCK ...", and holds nothing.
std::optional<pid_t> FlockHolderIn(std::string_view locks, dev_t device, ino_t inode) {
    while (!locks.empty()) {
        const std::size_t end = std::min(locks.find('\n'), locks.size());
        const std::vector<std::string_view> words = Words(locks.substr(0, end));
        locks.remove_prefix(std::min(end + 1, locks.size()));
        if (words.size() < 6 || words[1] != "FLOCK" || !NamesFile(words[5], device, inode)) {
            continue;
        }
        pid_t pid = 0;
        if (!ReadNumber(words[4], pid, 10) || pid < 0) {
            pid = 0;
        }
        return pid;
    }
    return std::nullopt;
}

std::optional<pid_t> FlockHolder(const struct stat& file) {
    return FlockHolderIn(ReadAll("/proc/locks"), file.st_dev, file.st_ino);
}

}  // namespace brisolant
