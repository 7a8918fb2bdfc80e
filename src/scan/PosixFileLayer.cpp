#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/PosixFile.h"
#include "scan/FileLayer.h"

namespace brisolant {

int PosixFileLayer::OpenForAppend(const std::string& path, bool create) {
    // Non-blocking, so that a FIFO without a reader in the file's place fails at once instead of
    // freezing the program; regular files are not affected.
    const int flags =
        O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (create ? O_CREAT : 0);
    const int fd = ::open(path.c_str(), flags, 0644);
    return fd >= 0 ? fd : -errno;
}

ssize_t PosixFileLayer::Write(int fd, std::string_view bytes) {
    ssize_t count = 0;
    do {
        count = ::write(fd, bytes.data(), bytes.size());
    } while (count < 0 && errno == EINTR);
    return count >= 0 ? count : -errno;
}

int PosixFileLayer::SyncData(int fd) {
    int result = 0;
    do {
        result = ::fdatasync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

int PosixFileLayer::Truncate(int fd, off_t size) {
    return ::ftruncate(fd, size) == 0 ? 0 : errno;
}

off_t PosixFileLayer::Size(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? status.st_size : -errno;
}

int PosixFileLayer::Close(int fd) {
    // After EINTR the descriptor is released all the same on Linux.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int PosixFileLayer::ReadTail(const std::string& path, std::size_t count, std::string& bytes) {
    bytes.clear();
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) {
        return errno;
    }
    const off_t size = Size(file.Get());
    if (size < 0) {
        return static_cast<int>(-size);
    }
    const auto total = static_cast<std::size_t>(size);
    off_t offset = static_cast<off_t>(total > count ? total - count : 0);
    bytes.resize(total - static_cast<std::size_t>(offset));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(file.Get(), bytes.data() + done, bytes.size() - done, offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
        offset += got;
    }
    bytes.resize(done);
    return 0;
}

int PosixFileLayer::ReplaceFile(const std::string& path, std::string_view bytes) {
    const std::string fresh = path + ".new";
    int error = 0;
    {
        const FileDescriptor file(
            ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (file.Get() < 0) {
            return errno;
        }
        std::size_t written = 0;
        while (error == 0 && written < bytes.size()) {
            const ssize_t count = Write(file.Get(), bytes.substr(written));
            if (count > 0) {
                written += static_cast<std::size_t>(count);
            } else {
                error = count < 0 ? static_cast<int>(-count) : EIO;
            }
        }
        if (error == 0) {
            error = SyncData(file.Get());
        }
    }
    if (error == 0 && ::rename(fresh.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(fresh.c_str());
        return error;
    }
    // The new name lasts only once the folder itself is on the disk.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0) {
        (void)::fsync(directory.Get());
    }
    return 0;
}

FileLayer& PosixFiles() {
    static PosixFileLayer files;
    return files;
}

}  // namespace brisolant
