#include "settings/ProfileDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "common/PosixFile.h"
#include "settings/ProfileFileLayer.h"

namespace brisolant {

namespace {

// A settings file is a few hundred bytes; anything near this is not one.
constexpr std::size_t kProfileFileLimit = 16 * 1024 * 1024;

Failure SystemFailure(FailureCode code, const std::string& path, int error) {
    return Failure(code, SystemErrorText(path, error));
}

// Errors that mean the place cannot be written to; the write reports them only by returning
// false, as the platform function it stands for does.
bool IsRefusal(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == ENOENT ||
           error == ENOTDIR;
}

std::string ReadAll(int fd, const std::string& path, FailureCode code) {
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throw SystemFailure(code, path, errno);
        }
        if (count == 0) {
            return content;
        }
        if (content.size() + static_cast<std::size_t>(count) > kProfileFileLimit) {
            throw SystemFailure(code, path, EFBIG);
        }
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string TemporaryName(const std::string& path, int attempt) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameBegin = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameBegin) + "." + path.substr(nameBegin) + "-" +
           std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
}

// A new, empty file beside path; its name is returned through temporaryName. Returns the
// descriptor, or minus the error.
int CreateTemporary(const std::string& path, std::string& temporaryName, ProfileFileLayer& files) {
    for (int attempt = 0;; ++attempt) {
        temporaryName = TemporaryName(path, attempt);
        const int fd = files.Open(temporaryName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd != -EEXIST || attempt == 100) {
            return fd;
        }
    }
}

void CopyOwnerAndPermissions(int fd, const std::string& path) {
    struct stat old {};
    if (::stat(path.c_str(), &old) != 0) {
        return;
    }
    // Best effort: only the superuser can hand the file back to another owner, and a file that
    // keeps its new owner is still a good settings file.
    [[maybe_unused]] const int ownerKept = ::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

// Rewrites an existing file where it stands, for a writable file in a folder that is not. Not
// one step like the replace, but the only way such a file can take the change. Returns false
// when the file cannot be opened for writing.
bool RewriteInPlace(const std::string& path, std::string_view content, ProfileFileLayer& files) {
    const int fd = files.Open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
    if (fd < 0) {
        if (IsRefusal(-fd)) {
            return false;
        }
        throw SystemFailure(FailureCode::ProfileWriteFailed, path, -fd);
    }
    FileDescriptor file(fd);
    std::size_t written = 0;
    if (const int error = WriteAll(file.Get(), content, written); error != 0) {
        throw SystemFailure(FailureCode::ProfileWriteFailed, path, error);
    }
    if (::ftruncate(file.Get(), static_cast<off_t>(content.size())) != 0 ||
        ::fsync(file.Get()) != 0 || file.Close() != 0) {
        throw SystemFailure(FailureCode::ProfileWriteFailed, path, errno);
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::optional<std::string> ReadProfileFile(const std::string& path, FailureCode code,
                                           ProfileFileLayer& files) {
    // O_NONBLOCK, so that a FIFO standing in the file's place cannot hang the program.
    const int fd = files.Open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) {
        if (fd == -ENOENT || fd == -ENOTDIR) {
            return std::nullopt;
        }
        throw SystemFailure(code, path, -fd);
    }
    FileDescriptor file(fd);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        throw SystemFailure(code, path, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        throw SystemFailure(code, path, EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        throw Failure(code, path + ": Not a regular file");
    }
    return ReadAll(file.Get(), path, code);
}

std::string ProfileWriteTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return path;
    }
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : path;
}

bool IsProfileFileWritable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    return (info.st_mode & kAnyWrite) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool ReplaceProfileFile(const std::string& path, std::string_view content,
                        ProfileFileLayer& files) {
    if (path.empty()) {
        return false;
    }
    std::string temporaryName;
    const int created = CreateTemporary(path, temporaryName, files);
    if (created < 0) {
        if (IsRefusal(-created)) {
            return Exists(path) && RewriteInPlace(path, content, files);
        }
        throw SystemFailure(FailureCode::ProfileWriteFailed, path, -created);
    }
    FileDescriptor file(created);
    try {
        std::size_t written = 0;
        if (const int error = WriteAll(file.Get(), content, written); error != 0) {
            throw SystemFailure(FailureCode::ProfileWriteFailed, path, error);
        }
        CopyOwnerAndPermissions(file.Get(), path);
        if (::fsync(file.Get()) != 0 || file.Close() != 0) {
            throw SystemFailure(FailureCode::ProfileWriteFailed, path, errno);
        }
    } catch (const Failure&) {
        ::unlink(temporaryName.c_str());
        throw;
    }
    if (const int error = files.Rename(temporaryName, path); error != 0) {
        ::unlink(temporaryName.c_str());
        if (IsRefusal(error)) {
            return Exists(path) && RewriteInPlace(path, content, files);
        }
        throw SystemFailure(FailureCode::ProfileWriteFailed, path, error);
    }
    return true;
}

}  // namespace brisolant
