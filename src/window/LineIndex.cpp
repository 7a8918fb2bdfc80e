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
#include <string_view>

#include "common/Failure.h"
#include "common/PosixFile.h"

namespace brisolant {

namespace {

// Small enough to stay in the processor's cache between the read and the scan for line ends.
constexpr std::size_t kBlockBytes = std::size_t{1} << 18;
// A record line and its CR LF, the shortest line a data file holds: the index is reserved for a
// file of such lines, so that a year of records is indexed without growing and copying it.
constexpr std::uint64_t kRecordLineBytes = 141;

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

// The length of a line's text, from the bytes read at its place: `before` bytes (none or one)
// ahead of the line, then the line, with its line end when `ended`. npos when the bytes are no
// longer a line there, as after other text was written over the file in place: a line begins
// after a CR, or after the LF of a CR LF but never on it, and holds no CR.
std::size_t LineTextLength(std::string_view bytes, std::size_t before, bool ended) {
    constexpr auto kNotALine = std::string_view::npos;
    if (before == 1) {
        const char previous = bytes[0];
        if ((previous != '\r' && previous != '\n') ||
            (previous == '\r' && bytes.size() > 1 && bytes[1] == '\n')) {
            return kNotALine;
        }
    }
    std::string_view line = bytes.substr(before);
    if (ended) {
        if (line.ends_with("\r\n")) {
            line.remove_suffix(2);
        } else if (line.ends_with('\r')) {
            line.remove_suffix(1);
        } else {
            return kNotALine;
        }
    }
    return line.find('\r') == std::string_view::npos ? line.size() : kNotALine;
}

}  // namespace

LineIndex::LineIndex(std::string path)
    : path_(std::move(path)), file_(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
    // Non-blocking, so that a FIFO in the data file's place fails instead of waiting for a writer.
    if (!file_.IsOpen()) {
        ThrowRead(path_, errno);
    }
    Build();
}

void LineIndex::Build() {
    const int fd = file_.Get();
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

    const auto block = std::make_unique_for_overwrite<char[]>(kBlockBytes);
    std::uint64_t offset = 0;     // file position of block[0]
    std::uint64_t lineStart = 0;  // where the line being scanned begins
    bool pendingCr = false;       // the previous block ended with CR; an LF may follow
    try {
        starts_.reserve(static_cast<std::uint64_t>(info.st_size) / kRecordLineBytes + 2);
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
                AddStart(lineStart);
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
            AddStart(lineStart);
        }
        AddStart(offset);
    } catch (const std::bad_alloc&) {
        ThrowRead(path_, "the file has too many lines to show");
    } catch (const std::length_error&) {
        ThrowRead(path_, "the file has too many lines to show");
    }
    lineCount_ = starts_.size() - 1;
}

void LineIndex::AddStart(std::uint64_t start) {
    if (!starts_.empty()) {
        widest_ = std::max(widest_, start - starts_.back());
    }
    starts_.push_back(start);
}

std::vector<std::string> LineIndex::Lines(std::size_t first, std::size_t count,
                                          std::size_t maxBytes) const {
    std::vector<std::string> lines(count);
    for (std::size_t i = 0; i < count && first < lineCount_ && i < lineCount_ - first; ++i) {
        lines[i] = LineAt(first + i, maxBytes);
    }
    return lines;
}

std::string LineIndex::Line(std::size_t i, std::size_t maxBytes) const {
    return Lines(i, 1, maxBytes).front();
}

std::string LineIndex::LineAt(std::size_t i, std::size_t maxBytes) const {
    const std::uint64_t begin = starts_[i];
    const std::uint64_t span = starts_[i + 1] - begin;
    // The byte ahead comes along, to see that a line still begins here, and two more than
    // wanted, so that the line end of a line that fits can be told apart.
    const std::uint64_t before = begin > 0 ? 1 : 0;
    const std::uint64_t limit = maxBytes > SIZE_MAX - 3 ? SIZE_MAX : maxBytes + 2 + before;
    std::string bytes(static_cast<std::size_t>(std::min(before + span, limit)), '\0');
    if (ReadAt(file_.Get(), bytes.data(), bytes.size(), begin - before) != bytes.size()) {
        return {};  // cut away since
    }
    const bool whole = bytes.size() == before + span;
    const std::size_t length = LineTextLength(bytes, static_cast<std::size_t>(before),
                                              whole && (i + 1 < lineCount_ || lastLineEnded_));
    if (length == std::string_view::npos) {
        return {};
    }
    return bytes.substr(static_cast<std::size_t>(before), std::min(length, maxBytes));
}

}  // namespace brisolant
