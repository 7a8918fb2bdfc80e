#include "window/LineIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

#include "common/Failure.h"
#include "common/PosixFile.h"

namespace brisolant {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

[[noreturn]] void ThrowRead(const std::string& path, const std::string& reason) {
    throw Failure(FailureCode::DataFileRead, path + ": " + reason);
}

[[noreturn]] void ThrowRead(const std::string& path, int error) {
    throw Failure(FailureCode::DataFileRead, SystemErrorText(path, error));
}

// Reads up to count bytes at offset, going on after interrupted and partial reads. Returns the
// number of bytes read, fewer only at the end of the file or on an error.
std::size_t ReadAt(int fd, char* buffer, std::size_t count, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// Opens the file for reading; non-blocking, so that a FIFO in the data file's place fails instead
// of hanging the window. Owns nothing, with errno set, on failure.
FileDescriptor OpenForReading(const std::string& path) {
    return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

}  // namespace

LineIndex::LineIndex(std::string path) : path_(std::move(path)) {
    const FileDescriptor file = OpenForReading(path_);
    if (!file.IsOpen()) {
        ThrowRead(path_, errno);
    }
    Build(file.Get());
}

bool LineIndex::Changed() const {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        return true;
    }
    return static_cast<std::uint64_t>(info.st_dev) != device_ ||
           static_cast<std::uint64_t>(info.st_ino) != inode_ || !S_ISREG(info.st_mode) ||
           static_cast<std::uint64_t>(info.st_size) < starts_.back();
}

void LineIndex::Build(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ThrowRead(path_, errno);
    }
    if (S_ISDIR(info.st_mode)) {
        ThrowRead(path_, EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        ThrowRead(path_, "not a regular file");
    }
    device_ = static_cast<std::uint64_t>(info.st_dev);
    inode_ = static_cast<std::uint64_t>(info.st_ino);

    const auto block = std::make_unique<char[]>(kBlockBytes);
    std::uint64_t offset = 0;     // file position of block[0]
    std::uint64_t lineStart = 0;  // where the line being scanned begins
    bool pendingCr = false;       // the previous block ended with CR; an LF may follow
    try {
        for (;;) {
            const ssize_t n = ::read(fd, block.get(), kBlockBytes);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ThrowRead(path_, errno);
            }
            if (n == 0) {
                break;
            }
            const char* data = block.get();
            const auto size = static_cast<std::size_t>(n);
            std::size_t i = 0;
            if (pendingCr) {
                pendingCr = false;
                if (data[0] == '\n') {
                    i = 1;
                    lineStart = offset + 1;
                }
            }
            while (i < size) {
                const void* cr = std::memchr(data + i, '\r', size - i);
                if (cr == nullptr) {
                    break;
                }
                starts_.push_back(lineStart);
                i = static_cast<std::size_t>(static_cast<const char*>(cr) - data) + 1;
                if (i == size) {
                    pendingCr = true;
                } else if (data[i] == '\n') {
                    ++i;
                }
                lineStart = offset + i;
            }
            offset += size;
        }
        lastLineEnded_ = lineStart == offset;
        if (!lastLineEnded_) {
            starts_.push_back(lineStart);
        }
        starts_.push_back(offset);
        starts_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        ThrowRead(path_, "the file has too many lines to show");
    } catch (const std::length_error&) {
        ThrowRead(path_, "the file has too many lines to show");
    }
    lineCount_ = starts_.size() - 1;
    for (std::size_t i = 0; i < lineCount_; ++i) {
        widest_ = std::max(widest_, starts_[i + 1] - starts_[i]);
    }
}

std::vector<std::string> LineIndex::Lines(std::size_t first, std::size_t count,
                                          std::size_t maxBytes) const {
    std::vector<std::string> lines(count);
    if (first >= lineCount_ || count == 0) {
        return lines;
    }
    const FileDescriptor file = OpenForReading(path_);
    if (!file.IsOpen()) {
        return lines;
    }
    for (std::size_t i = 0; i < count && first + i < lineCount_; ++i) {
        lines[i] = LineAt(file.Get(), first + i, maxBytes);
    }
    return lines;
}

std::string LineIndex::Line(std::size_t i, std::size_t maxBytes) const {
    return Lines(i, 1, maxBytes).front();
}

std::string LineIndex::LineAt(int fd, std::size_t i, std::size_t maxBytes) const {
    const std::uint64_t begin = starts_[i];
    const std::uint64_t span = starts_[i + 1] - begin;
    const bool ended = i + 1 < lineCount_ || lastLineEnded_;
    // Two more than wanted, so that the line end of a line that fits can be told apart.
    const std::uint64_t limit = maxBytes > SIZE_MAX - 2 ? SIZE_MAX : maxBytes + 2;
    std::string text(static_cast<std::size_t>(std::min(span, limit)), '\0');
    if (ReadAt(fd, text.data(), text.size(), begin) != text.size()) {
        return {};
    }
    if (ended && text.size() == span) {
        text.resize(text.size() - (text.back() == '\n' ? 2 : 1));
    }
    if (text.size() > maxBytes) {
        text.resize(maxBytes);
    }
    return text;
}

}  // namespace brisolant
