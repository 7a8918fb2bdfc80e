#include "support/FakeFiles.h"

#include <fcntl.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace brisolant::test {

namespace {

std::string NameOf(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<std::string> FakeFileLayer::Steps() const {
    std::lock_guard lock(mutex_);
    return steps;
}

int FakeFileLayer::Step(const std::string& what, const std::string& path) {
    const std::string step = what + " " + NameOf(path);
    {
        std::lock_guard lock(mutex_);
        steps.push_back(step);
        const auto failure = failures.find(step);
        if (failure != failures.end()) {
            return failure->second;
        }
    }
    return inject ? inject(step) : 0;
}

std::string FakeFileLayer::PathOf(int fd) {
    std::lock_guard lock(mutex_);
    return paths_[fd];
}

void FakeFileLayer::Forget(int fd) {
    std::lock_guard lock(mutex_);
    paths_.erase(fd);
}

bool FakeFileLayer::CrashIsDue() const {
    std::lock_guard lock(mutex_);
    return crashAt >= 0 && static_cast<long>(steps.size()) - 1 == crashAt;
}

void FakeFileLayer::CrashHere() {
    if (CrashIsDue()) {
        // A dying process releases its files.
        std::lock_guard lock(mutex_);
        for (const auto& open : paths_) {
            (void)PosixFileLayer::Close(open.first);
        }
        paths_.clear();
        if (powerCut) {
            CutPower();
        }
        throw SimulatedCrash();
    }
}

void FakeFileLayer::CutPower() {
    for (const auto& [path, synced] : synced_) {
        if (!std::filesystem::exists(path)) {
            continue;
        }
        const std::string now = ReadFile(path);
        std::string kept = synced;
        if (now.size() > synced.size() && now.starts_with(synced)) {
            kept += now.substr(synced.size(), (now.size() - synced.size()) / 2);
        }
        WriteFile(path, kept);
    }
    synced_.clear();
}

void FakeFileLayer::Synced(const std::string& path) {
    std::lock_guard lock(mutex_);
    synced_[path] = std::filesystem::exists(path) ? ReadFile(path) : std::string();
}

int FakeFileLayer::Opened(int fd, const std::string& path) {
    if (fd >= 0) {
        std::lock_guard lock(mutex_);
        paths_[fd] = path;
        if (!synced_.contains(path)) {
            // What the file held before this run touched it is on the disk.
            synced_[path] = ReadFile(path);
        }
    }
    return fd;
}

int FakeFileLayer::OpenForAppend(const std::string& path, const AppendOpening& how) {
    const int error = Step("open", path);
    CrashHere();
    return error != 0 ? -error : Opened(PosixFileLayer::OpenForAppend(path, how), path);
}

int FakeFileLayer::OpenForRead(const std::string& path, bool followLinks) {
    const int error = Step("openread", path);
    CrashHere();
    return error != 0 ? -error : Opened(PosixFileLayer::OpenForRead(path, followLinks), path);
}

ssize_t FakeFileLayer::Write(int fd, std::string_view bytes) {
    const int error = Step("write", PathOf(fd));
    if (CrashIsDue()) {
        (void)PosixFileLayer::Write(fd, bytes.substr(0, bytes.size() / 2));
        CrashHere();
    }
    return error != 0 ? -error : PosixFileLayer::Write(fd, bytes);
}

int FakeFileLayer::ReadAt(int fd, off_t offset, std::size_t count, std::string& bytes) {
    const int error = Step("read", PathOf(fd));
    CrashHere();
    return error != 0 ? error : PosixFileLayer::ReadAt(fd, offset, count, bytes);
}

int FakeFileLayer::SyncData(int fd) {
    const std::string path = PathOf(fd);
    const int error = Step("sync", path);
    CrashHere();
    if (error != 0) {
        return error;
    }
    Synced(path);
    return PosixFileLayer::SyncData(fd);
}

int FakeFileLayer::Truncate(int fd, off_t size) {
    const int error = Step("truncate", PathOf(fd));
    CrashHere();
    return error != 0 ? error : PosixFileLayer::Truncate(fd, size);
}

int FakeFileLayer::Status(int fd, FileStatus& status) {
    const int error = Step("stat", PathOf(fd));
    CrashHere();
    return error != 0 ? error : PosixFileLayer::Status(fd, status);
}

int FakeFileLayer::Close(int fd) {
    const int error = Step("close", PathOf(fd));
    const int result = PosixFileLayer::Close(fd);
    Forget(fd);
    CrashHere();
    return error != 0 ? error : result;
}

int FakeFileLayer::SyncFolder(const std::string& folder) {
    const int error = Step("syncfolder", folder);
    CrashHere();
    return error != 0 ? error : PosixFileLayer::SyncFolder(folder);
}

int FakeFileLayer::ReplaceFile(const std::string& path, const FilePieces& pieces) {
    const int error = Step("replace", path);
    CrashHere();
    if (error != 0) {
        return error;
    }
    const int result = PosixFileLayer::ReplaceFile(path, pieces);
    Synced(path);
    return result;
}

int FakeFileLayer::KeepCopy(const std::string& path, const std::string& copy) {
    const int error = Step("keep", path);
    CrashHere();
    return error != 0 ? error : PosixFileLayer::KeepCopy(path, copy);
}

// The settings file's descriptors are closed without the layer, so they are not kept in
// paths_: a crash must not close a number that has since gone to another file.
int FakeFileLayer::Open(const std::string& path, int flags, mode_t mode) {
    const char* what = (flags & O_CREAT) != 0            ? "create"
                       : (flags & O_ACCMODE) != O_RDONLY ? "openwrite"
                                                         : "openread";
    const int error = Step(what, path);
    CrashHere();
    return error != 0 ? -error : PosixProfileFiles().Open(path, flags, mode);
}

int FakeFileLayer::Rename(const std::string& from, const std::string& to) {
    const int error = Step("rename", to);
    CrashHere();
    return error != 0 ? error : PosixProfileFiles().Rename(from, to);
}

}  // namespace brisolant::test
