#include "recorder/MetricsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/Failure.h"
#include "common/PosixFile.h"

namespace brisolant {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& path, int error) {
    throw Failure(FailureCode::MetricsFileWrite, SystemErrorText(path, error));
}

}  // namespace

void ReplaceMetricsFile(const std::string& path, std::string_view text) {
    const std::string temporary = path + ".tmp";
    FileDescriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!file.IsOpen()) {
        const int error = errno;
        if (error == ENOENT) {
            throw Failure(FailureCode::MetricsFolderMissing, FolderOf(path));
        }
        Fail(temporary, error);
    }
    std::size_t written = 0;
    int error = ::fchmod(file.Get(), 0644) != 0 ? errno : 0;
    if (error == 0) {
        error = WriteAll(file.Get(), text, written);
    }
    if (error == 0 && file.Close() != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        Fail(temporary, error);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(temporary.c_str());
        Fail(path, error);
    }
}

void RemoveMetricsFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        Fail(path, errno);
    }
}

bool MetricsFileExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

}  // namespace brisolant
