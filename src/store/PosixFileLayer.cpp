#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/PosixFile.h"
#include "store/FileLayer.h"

namespace brisolant {

namespace {

int OpenFile(const std::string& path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : -errno;
}

// Copies what `from` holds into the new file `to`, synced.
int CopyFile(const std::string& from, const std::string& to) {
    const FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!source.IsOpen()) {
        return errno;
    }
    FileDescriptor target(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!target.IsOpen()) {
        return errno;
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(source.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;
        }
        std::size_t written = 0;
        if (const int error =
                WriteAll(target.Get(), {buffer, static_cast<std::size_t>(got)}, written)) {
            return error;
        }
    }
    if (::fdatasync(target.Get()) != 0) {
        return errno;
    }
    return target.Close() == 0 ? 0 : errno;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

int PosixFileLayer::OpenForAppend(const std::string& path, const AppendOpening& how) {
    // Non-blocking, so that a FIFO without a reader in the file's place fails at once instead of
    // freezing the program; regular files are not affected.
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                      (how.followLinks ? 0 : O_NOFOLLOW);
    if (how.created != nullptr) {
        *how.created = false;
    }
    int fd = OpenFile(path, flags);
    // A file made here is known as new, so that its folder entry can be put on the disk too.
    // Another program may make it in between: then it is opened as it is.
    for (int attempt = 0; fd == -ENOENT && how.create && attempt < 3; ++attempt) {
        fd = OpenFile(path, flags | O_CREAT | O_EXCL);
        if (fd >= 0 && how.created != nullptr) {
            *how.created = true;
        } else if (fd == -EEXIST) {
            fd = OpenFile(path, flags);
        } else if (fd == -ENOENT) {
            break;  // the folder is missing
        }
    }
    return fd;
}

int PosixFileLayer::OpenForRead(const std::string& path, bool followLinks) {
    return OpenFile(path,
                    O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW));
}

ssize_t PosixFileLayer::Write(int fd, std::string_view bytes) {
    ssize_t count = 0;
    do {
        count = ::write(fd, bytes.data(), bytes.size());
    } while (count < 0 && errno == EINTR);
    return count >= 0 ? count : -errno;
}

int PosixFileLayer::ReadAt(int fd, off_t offset, std::size_t count, std::string& bytes) {
    bytes.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, count - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            bytes.clear();
            return errno;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return 0;
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

int PosixFileLayer::Status(int fd, FileStatus& status) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return errno;
    }
    status.size = info.st_size;
    status.mode = info.st_mode;
    return 0;
}

int PosixFileLayer::Close(int fd) {
    // After EINTR the descriptor is released all the same on Linux.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int PosixFileLayer::SyncFolder(const std::string& folder) {
    const FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.IsOpen()) {
        return errno;
    }
    return ::fsync(directory.Get()) == 0 ? 0 : errno;
}

int PosixFileLayer::ReplaceFile(const std::string& path, const FilePieces& pieces) {
    const std::string fresh = path + ".new";
    int error = 0;
    {
        // A link left in the way by somebody else is not followed: its target is not ours.
        ::unlink(fresh.c_str());
        const FileDescriptor file(
            ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!file.IsOpen()) {
            return errno;
        }
        std::string piece;
        while (error == 0 && (error = pieces(piece)) == 0 && !piece.empty()) {
            std::size_t written = 0;
            error = WriteAll(file.Get(), piece, written);
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
    (void)SyncFolder(FolderOf(path));
    return 0;
}

int PosixFileLayer::KeepCopy(const std::string& path, const std::string& copy) {
    int error = ::link(path.c_str(), copy.c_str()) == 0 ? 0 : errno;
    if (error == EPERM || error == EXDEV || error == EMLINK || error == ENOTSUP) {
        error = CopyFile(path, copy);
    }
    if (error == 0) {
        (void)SyncFolder(FolderOf(copy));
    }
    return error;
}

FileLayer& PosixFiles() {
    static PosixFileLayer files;
    return files;
}

}  // namespace brisolant
