#include "common/PosixFile.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace brisolant {

std::string SystemErrorText(const std::string& path, int error) {
    return path + ": " + std::generic_category().message(error);
}

int WriteAll(int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : EIO;
        }
        written += static_cast<std::size_t>(count);
    }
    return 0;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

int FileDescriptor::Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
}

}  // namespace brisolant
