#include "store/JournalLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "common/FlockHolder.h"
#include "common/ProcessName.h"
#include "common/ProcessRuns.h"

namespace brisolant {

namespace {

// Opens the lock file, creating it when missing. A lock needs no write access: another user's
// lock file, or one made in advance in a folder the user may not write, is opened to read.
// O_NONBLOCK: something other than a file in its place must not hold the start.
int OpenLockFile(const std::string& path, bool& writable, int& error) {
    constexpr int kFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0644);
    writable = fd >= 0;
    if (fd < 0) {
        error = errno;
        fd = ::open(path.c_str(), O_RDONLY | kFlags);
    }
    return fd;
}

void WriteOwnProcessId(int fd) {
    const std::string text = std::to_string(::getpid()) + "\n";
    std::size_t written = 0;
    // Should it fail, the lock still holds; a second copy just cannot name this one.
    if (::ftruncate(fd, 0) == 0) {
        (void)WriteAll(fd, text, written);
    }
}

// The process the lock file names, when it still runs: a holder that could not write its own id
// leaves an earlier holder's in the file.
pid_t NamedHolder(int fd) {
    char text[24] = {};
    const ssize_t count = ::pread(fd, text, sizeof text, 0);
    pid_t pid = 0;
    if (count <= 0 || std::from_chars(text, text + count, pid).ec != std::errc() || pid <= 0) {
        return 0;
    }
    return ProcessRuns(pid) ? pid : 0;
}

// The settings file, opened to be locked; closed when it is missing or not a regular file.
// O_NONBLOCK: a FIFO in its place must not hold the start.
FileDescriptor OpenSettingsFile(const std::string& path) {
    if (path.empty()) {
        return FileDescriptor();
    }
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (file.IsOpen() && (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode))) {
        return FileDescriptor();
    }
    return file;
}

bool SameFile(int first, int second) {
    struct stat a {};
    struct stat b {};
    return second >= 0 && ::fstat(first, &a) == 0 && ::fstat(second, &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string HolderText(pid_t pid) {
    return pid == 0 ? "another process" : ProcessText(pid);
}

}  // namespace

std::string JournalLockPath(const std::string& journalPath) {
    return journalPath + ".lock";
}

JournalLock::JournalLock(const std::string& journalPath, std::string settingsFile)
    : path_(JournalLockPath(journalPath)), settings_path_(std::move(settingsFile)) {
    Take();
}

void JournalLock::Take() {
    TakeJournalLock();
    if (state_ != State::HeldElsewhere) {
        TakeSettingsLock();
    }
}

void JournalLock::TakeJournalLock() {
    bool writable = false;
    int openError = 0;
    FileDescriptor file(OpenLockFile(path_, writable, openError));
    if (!file.IsOpen()) {
        error_ = openError;
        return;
    }
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            state_ = State::HeldElsewhere;
            holder_ = NamedHolder(file.Get());
            holder_ending_ = ProcessEnding(holder_);
        } else {
            error_ = errno;
        }
        return;
    }
    if (writable) {
        WriteOwnProcessId(file.Get());
    }
    file_ = std::move(file);
    state_ = State::Held;
}

// A settings file that is missing or no regular file has nothing to lock: the journal's lock
// alone stands.
void JournalLock::TakeSettingsLock() {
    FileDescriptor settings = OpenSettingsFile(settings_path_);
    if (!settings.IsOpen()) {
        return;
    }
    if (::flock(settings.Get(), LOCK_EX | LOCK_NB) == 0) {
        settings_file_ = std::move(settings);
        return;
    }
    if (errno == EWOULDBLOCK) {
        struct stat info {};
        ::fstat(settings.Get(), &info);
        state_ = State::HeldElsewhere;
        holder_ = FlockHolder(info).value_or(0);
        holder_ending_ = ProcessEnding(holder_);
        file_ = FileDescriptor();
    }
}

void JournalLock::FollowSettingsFile() {
    if (state_ == State::HeldElsewhere) {
        return;
    }
    FileDescriptor settings = OpenSettingsFile(settings_path_);
    if (!settings.IsOpen() || SameFile(settings.Get(), settings_file_.Get())) {
        return;
    }
    // Should another program hold the new file, this one keeps what it holds.
    if (::flock(settings.Get(), LOCK_EX | LOCK_NB) == 0) {
        settings_file_ = std::move(settings);
    }
}

void JournalLock::WaitWhileHolderEnds(std::chrono::milliseconds patience,
                                      const std::function<bool()>& stop) {
    constexpr auto kLookAgain = std::chrono::milliseconds(50);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (state_ == State::HeldElsewhere && holder_ending_ &&
           std::chrono::steady_clock::now() < deadline && !stop()) {
        std::this_thread::sleep_for(kLookAgain);
        state_ = State::Unavailable;
        holder_ = 0;
        holder_ending_ = false;
        Take();
    }
}

std::optional<Failure> JournalLock::Problem(const std::string& settingsFile) const {
    switch (state_) {
        case State::Held:
            return std::nullopt;
        case State::HeldElsewhere:
            return Failure(
                holder_ending_ ? FailureCode::PreviousRunEnding : FailureCode::AlreadyRunning,
                settingsFile + ", held by " + HolderText(holder_));
        case State::Unavailable:
            break;
    }
    return Failure(FailureCode::RunLockUnavailable, SystemErrorText(path_, error_));
}

}  // namespace brisolant
