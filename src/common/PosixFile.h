#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brisolant {

// "path: reason" for a system call on path that failed with the error number.
std::string SystemErrorText(const std::string& path, int error);

// Writes all of bytes, going on after partial writes and interruptions. Returns 0 or the error
// number (EIO when the system wrote nothing without saying why); written tells how many bytes
// reached the file.
int WriteAll(int fd, std::string_view bytes, std::size_t& written);

// Owns an open file descriptor and closes it at the end of its life. A negative value owns
// nothing.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Closes now and returns close's result, for callers that must see a late write error.
    int Close();

  private:
    int fd_;
};

}  // namespace brisolant
