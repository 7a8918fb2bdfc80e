#include "store/DataFileAppender.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "common/FolderCreation.h"
#include "common/PosixFile.h"
#include "store/WholeAppend.h"

namespace brisolant {

namespace {

enum class Found { Whole, NotThere, Unknown };

// A name as a failure message shows it: no control character can upset the status bar.
std::string ShownName(std::string_view text) {
    std::string shown(text);
    std::replace_if(
        shown.begin(), shown.end(),
        [](char c) {
            const auto code = static_cast<unsigned char>(c);
            return code < 32 || code == 127;
        },
        ' ');
    return shown;
}

// What stands in a data file's place when it is not a regular file.
std::string FileKind(mode_t mode) {
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    return "not a regular file";
}

// Cuts the file back to `size`, synced. Returns 0 or the error.
int CutBack(FileLayer& files, int fd, off_t size) {
    int error = files.Truncate(fd, size);
    if (error == 0) {
        error = files.SyncData(fd);
    }
    return error;
}

// Takes back the torn start of a line of ours at the end of the file.
int TakeBackTornLine(FileLayer& files, const std::string& path, off_t offset) {
    const int fd = files.OpenForAppend(path, {});
    if (fd < 0) {
        return -fd;
    }
    const int error = CutBack(files, fd, offset);
    (void)files.Close(fd);
    return error;
}

// Looks for the bytes at their place. Only a part that ends the file and begins the bytes is a
// torn write of ours; it is taken back, so that the whole line can go in once.
Found LookAtPlace(FileLayer& files, const LinePlace& place, const std::string& bytes,
                  std::optional<Failure>& why) {
    const int fd = files.OpenForRead(place.path, true);
    if (fd == -ENOENT) {
        return Found::NotThere;
    }
    FileStatus status;
    std::string there;
    int error = fd < 0 ? -fd : files.Status(fd, status);
    const auto offset = static_cast<off_t>(place.offset);
    if (error == 0 && status.size > offset) {
        error = files.ReadAt(fd, offset, bytes.size(), there);
    }
    if (fd >= 0) {
        (void)files.Close(fd);
    }
    if (error == 0 && there == bytes) {
        return Found::Whole;
    }
    if (error == 0 && !there.empty() && there.size() < bytes.size() &&
        offset + static_cast<off_t>(there.size()) == status.size && bytes.starts_with(there)) {
        error = TakeBackTornLine(files, place.path, offset);
    }
    if (error != 0) {
        why = Failure(FailureCode::DataFileRead, SystemErrorText(place.path, error));
        return Found::Unknown;
    }
    return Found::NotThere;
}

// What the file must get first so that the next record starts a line of its own: a line that
// somebody else's write left torn is closed, never added to.
std::string LineStart(FileLayer& files, const std::string& path, off_t size) {
    if (size == 0) {
        return {};
    }
    const int fd = files.OpenForRead(path, true);
    std::string tail;
    const int error = fd < 0 ? -fd : files.ReadAt(fd, size - std::min<off_t>(size, 2), 2, tail);
    if (fd >= 0) {
        (void)files.Close(fd);
    }
    if (error != 0 || tail.empty() || tail.back() == '\n') {
        return {};
    }
    return tail.back() == '\r' ? "\n" : "\r\n";
}

// A write cut short by a kill ends where the kernel stopped between pages: at a multiple of the
// page size.
constexpr off_t kPage = 4096;

// Whether `tail` can be the start of a record line like `line`: each digit of the line's date
// and time a digit, each other character of them the same.
bool StartsLikeRecord(std::string_view tail, std::string_view line) {
    constexpr std::size_t kDateAndTime = 19;  // "2026/12/11,11:42:12"
    const std::size_t count = std::min({tail.size(), line.size(), kDateAndTime});
    for (std::size_t i = 0; i < count; ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (digit ? !(tail[i] >= '0' && tail[i] <= '9') : tail[i] != line[i]) {
            return false;
        }
    }
    return !tail.empty() && tail.size() < line.size();
}

// A record of the program's own that a kill tore in an earlier run (a write the kernel ended
// between pages) is cut back, so that the file never keeps part of a record; any other line
// left open is closed, never cut. Returns the file's size after it.
off_t CutOwnTornRecord(FileLayer& files, int fd, const std::string& path, off_t size,
                       std::string_view line) {
    if (size == 0 || size % kPage != 0) {
        return size;
    }
    const int readFd = files.OpenForRead(path, true);
    std::string tail;
    const off_t length = std::min<off_t>(size, static_cast<off_t>(line.size()) + 2);
    const int error =
        readFd < 0 ? -readFd
                   : files.ReadAt(readFd, size - length, static_cast<std::size_t>(length), tail);
    if (readFd >= 0) {
        (void)files.Close(readFd);
    }
    const std::size_t lineEnd = tail.rfind('\n');
    if (error != 0 || (lineEnd == std::string::npos && length < size)) {
        return size;
    }
    const std::string_view torn =
        std::string_view(tail).substr(lineEnd == std::string::npos ? 0 : lineEnd + 1);
    if (!StartsLikeRecord(torn, line)) {
        return size;
    }
    const off_t kept = size - static_cast<off_t>(torn.size());
    return files.Truncate(fd, kept) == 0 ? kept : size;
}

// Appends the items from `first` on in one write and one sync.
void Append(const AppendTask& task, std::size_t first, FileLayer& files, const AppendGate& gate,
            AppendOutcome& outcome) {
    const std::string path = task.Path();
    if (!IsUsableFileName(task.fileName) || task.folder.find('\0') != std::string::npos) {
        outcome.failure = Failure(FailureCode::DataFileBadName, "\"" + ShownName(path) + "\"");
        return;
    }
    if (task.createFolder) {
        // A failure here shows as the open's.
        (void)CreateFolderPath(task.folder);
    }
    bool created = false;
    const int fd = files.OpenForAppend(path, {.create = true, .created = &created});
    if (fd < 0) {
        outcome.failure = Failure(FailureCode::DataFileOpen, SystemErrorText(path, -fd));
        return;
    }
    FileStatus status;
    if (const int error = files.Status(fd, status)) {
        (void)files.Close(fd);
        outcome.failure = Failure(FailureCode::DataFileOpen, SystemErrorText(path, error));
        return;
    }
    // A device in the file's place (a link to /dev/null, say) takes every line and keeps none.
    if (!S_ISREG(status.mode)) {
        (void)files.Close(fd);
        outcome.failure =
            Failure(FailureCode::DataFileNotRegular, path + ": " + FileKind(status.mode));
        return;
    }
    const bool ownEnd = task.ownEnd && *task.ownEnd == static_cast<std::uint64_t>(status.size);
    if (task.checkTail && !ownEnd) {
        std::string_view record = task.items[first].bytes;
        record.remove_suffix(record.ends_with("\r\n") ? 2 : 0);
        status.size = CutOwnTornRecord(files, fd, path, status.size, record);
    }
    std::string bytes =
        task.checkTail && !ownEnd ? LineStart(files, path, status.size) : std::string();
    const std::uint64_t offset = static_cast<std::uint64_t>(status.size) + bytes.size();
    if (!gate(first, offset)) {
        (void)files.Close(fd);
        outcome.failure = Failure(FailureCode::JournalMark, path);
        return;
    }
    outcome.appendOffset = offset;
    for (std::size_t i = first; i < task.items.size(); ++i) {
        bytes += task.items[i].bytes;
    }
    std::size_t written = 0;
    int error = WriteBytes(files, fd, bytes, written);
    // A scan counts only once its line is on the disk: a power cut must not take back a record
    // the operator saw counted.
    if (error == 0) {
        error = files.SyncData(fd);
    }
    if (error != 0) {
        // Bytes that did not count would merge with the next line or come back a second time.
        outcome.bytesLeft = written > 0 && CutBack(files, fd, status.size) != 0;
        (void)files.Close(fd);
        outcome.failure = Failure(FailureCode::DataFileWrite, SystemErrorText(path, error));
        return;
    }
    // A new file lasts a power cut only once its folder's entry is on the disk too. The lines
    // are; should this fail, they must not be written a second time.
    if (created) {
        (void)files.SyncFolder(task.folder.empty() ? std::string(".") : task.folder);
    }
    // A failure a file system reports only at close has been reported by the sync.
    (void)files.Close(fd);
    outcome.appended = task.items.size() - first;
    outcome.end = static_cast<std::uint64_t>(status.size) + bytes.size();
}

}  // namespace

bool IsUsableFileName(const std::string& fileName) {
    return !fileName.empty() &&
           fileName.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

AppendOutcome RunAppendTask(const AppendTask& task, FileLayer& files, const AppendGate& gate) {
    AppendOutcome outcome;
    std::size_t first = 0;
    for (; first < task.items.size() && task.items[first].place; ++first) {
        const AppendItem& item = task.items[first];
        const Found found = LookAtPlace(files, *item.place, item.bytes, outcome.failure);
        if (found == Found::Unknown) {
            outcome.alreadyThere = first;
            return outcome;
        }
        if (found == Found::NotThere) {
            break;
        }
    }
    outcome.alreadyThere = first;
    if (first < task.items.size()) {
        Append(task, first, files, gate, outcome);
    }
    return outcome;
}

}  // namespace brisolant
