#include "support/FakeFiles.h"

namespace brisolant::test {

namespace {

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int FakeFileLayer::Step(const std::string& what, const std::string& path) {
    const std::string step = what + " " + NameOf(path);
    steps.push_back(step);
    const auto failure = failures.find(step);
    return failure == failures.end() ? 0 : failure->second;
}

bool FakeFileLayer::CrashIsDue() const {
    return crashAt >= 0 && static_cast<long>(steps.size()) - 1 == crashAt;
}

void FakeFileLayer::CrashHere() {
    if (CrashIsDue()) {
        // A dying process releases its files.
        for (const auto& open : paths_) {
            (void)PosixFileLayer::Close(open.first);
        }
        paths_.clear();
        throw SimulatedCrash();
    }
}

int FakeFileLayer::OpenForAppend(const std::string& path, bool create) {
    const int error = Step("open", path);
    CrashHere();
    if (error != 0) {
        return -error;
    }
    const int fd = PosixFileLayer::OpenForAppend(path, create);
    if (fd >= 0) {
        paths_[fd] = path;
    }
    return fd;
}

ssize_t FakeFileLayer::Write(int fd, std::string_view bytes) {
    const int error = Step("write", paths_[fd]);
    if (CrashIsDue()) {
        (void)PosixFileLayer::Write(fd, bytes.substr(0, bytes.size() / 2));
        CrashHere();
    }
    return error != 0 ? -error : PosixFileLayer::Write(fd, bytes);
}

int FakeFileLayer::SyncData(int fd) {
    const int error = Step("sync", paths_[fd]);
    CrashHere();
    return error != 0 ? error : PosixFileLayer::SyncData(fd);
}

int FakeFileLayer::Truncate(int fd, off_t size) {
    const int error = Step("truncate", paths_[fd]);
    CrashHere();
    return error != 0 ? error : PosixFileLayer::Truncate(fd, size);
}

off_t FakeFileLayer::Size(int fd) {
    const int error = Step("size", paths_[fd]);
    CrashHere();
    return error != 0 ? -error : PosixFileLayer::Size(fd);
}

int FakeFileLayer::Close(int fd) {
    const int error = Step("close", paths_[fd]);
    const int result = PosixFileLayer::Close(fd);
    paths_.erase(fd);
    CrashHere();
    return error != 0 ? error : result;
}

int FakeFileLayer::ReadTail(const std::string& path, std::size_t count, std::string& bytes) {
    const int error = Step("read", path);
    CrashHere();
    return error != 0 ? error : PosixFileLayer::ReadTail(path, count, bytes);
}

int FakeFileLayer::ReplaceFile(const std::string& path, std::string_view bytes) {
    const int error = Step("replace", path);
    CrashHere();
    return error != 0 ? error : PosixFileLayer::ReplaceFile(path, bytes);
}

}  // namespace brisolant::test
