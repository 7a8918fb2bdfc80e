#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace brisolant {

// What a file is and how long, as fstat tells it.
struct FileStatus {
    off_t size = 0;
    mode_t mode = 0;
};

// Hands out a file's bytes one piece at a time: puts the next piece in `piece` (an empty one
// after the last) and returns 0, or returns the error that stops the file being made.
using FilePieces = std::function<int(std::string& piece)>;

// How a file is opened for appending.
struct AppendOpening {
    bool create = false;      // a missing file is made (never its folder)
    bool followLinks = true;  // false: a symbolic link in the file's place is refused
    bool* created = nullptr;  // when set, tells whether this call made the file
};

// The few file operations that the data files and the journal of waiting scans use, so that
// tests can watch their order and make any of them fail. Errors are returned as errno values,
// never thrown.
class FileLayer {
  public:
    virtual ~FileLayer() = default;
    // Opens for appending, write only. Returns the descriptor, or minus the error.
    [[nodiscard]] virtual int OpenForAppend(const std::string& path, const AppendOpening& how) = 0;
    // Opens for reading. Returns the descriptor, or minus the error.
    [[nodiscard]] virtual int OpenForRead(const std::string& path, bool followLinks) = 0;
    // Writes what it can; returns the count written, or minus the error.
    [[nodiscard]] virtual ssize_t Write(int fd, std::string_view bytes) = 0;
    // Reads up to `count` bytes from `offset` into `bytes` (fewer at the end of the file).
    // Returns 0 or the error.
    [[nodiscard]] virtual int ReadAt(int fd, off_t offset, std::size_t count,
                                     std::string& bytes) = 0;
    // Waits until the written data is on the disk. Returns 0 or the error.
    [[nodiscard]] virtual int SyncData(int fd) = 0;
    // Cuts the file to `size` bytes. Returns 0 or the error.
    [[nodiscard]] virtual int Truncate(int fd, off_t size) = 0;
    // Returns 0 or the error.
    [[nodiscard]] virtual int Status(int fd, FileStatus& status) = 0;
    // Returns 0 or the error; the descriptor is released either way.
    [[nodiscard]] virtual int Close(int fd) = 0;
    // Puts the folder's entries (a file made in it, a rename) on the disk. Returns 0 or the
    // error.
    [[nodiscard]] virtual int SyncFolder(const std::string& folder) = 0;
    // Puts the bytes that `pieces` hands out in the file's place at one stroke, synced: after a
    // crash the file holds either its old or its new contents. A link in the file's place is
    // replaced, its target left alone. Returns 0 or the error.
    [[nodiscard]] virtual int ReplaceFile(const std::string& path, const FilePieces& pieces) = 0;
    // Makes `copy` hold what `path` holds now, without touching `path`: a second name for the
    // same file where the file system allows it, a copy otherwise. Never replaces an existing
    // `copy`. Returns 0 or the error.
    [[nodiscard]] virtual int KeepCopy(const std::string& path, const std::string& copy) = 0;
};

// The real files, through the POSIX calls.
class PosixFileLayer : public FileLayer {
  public:
    int OpenForAppend(const std::string& path, const AppendOpening& how) override;
    int OpenForRead(const std::string& path, bool followLinks) override;
    ssize_t Write(int fd, std::string_view bytes) override;
    int ReadAt(int fd, off_t offset, std::size_t count, std::string& bytes) override;
    int SyncData(int fd) override;
    int Truncate(int fd, off_t size) override;
    int Status(int fd, FileStatus& status) override;
    int Close(int fd) override;
    int SyncFolder(const std::string& folder) override;
    int ReplaceFile(const std::string& path, const FilePieces& pieces) override;
    int KeepCopy(const std::string& path, const std::string& copy) override;
};

// The one real file layer of the program.
FileLayer& PosixFiles();

// The folder part of a path, ending in "/" ("." when the path has none).
std::string FolderOf(const std::string& path);

}  // namespace brisolant
