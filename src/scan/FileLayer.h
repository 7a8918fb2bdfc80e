#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace brisolant {

// The few file operations that the data file and the journal of waiting scans use, so that tests
// can watch their order and make any of them fail. Errors are returned as errno values, never
// thrown.
class FileLayer {
  public:
    virtual ~FileLayer() = default;
    // Opens for appending, creating the file (never its folder) when `create` is set. Returns the
    // descriptor, or minus the error.
    virtual int OpenForAppend(const std::string& path, bool create) = 0;
    // Writes what it can; returns the count written, or minus the error.
    virtual ssize_t Write(int fd, std::string_view bytes) = 0;
    // Waits until the written data is on the disk. Returns 0 or the error.
    virtual int SyncData(int fd) = 0;
    // Cuts the file to `size` bytes. Returns 0 or the error.
    virtual int Truncate(int fd, off_t size) = 0;
    // The file's size, or minus the error.
    virtual off_t Size(int fd) = 0;
    // Returns 0 or the error.
    virtual int Close(int fd) = 0;
    // Reads the last `count` bytes of the file (all of it when shorter) into `bytes`. Returns 0
    // or the error.
    virtual int ReadTail(const std::string& path, std::size_t count, std::string& bytes) = 0;
    // Puts `bytes` in the file's place at one stroke, synced: after a crash the file holds
    // either its old or its new contents. Returns 0 or the error.
    virtual int ReplaceFile(const std::string& path, std::string_view bytes) = 0;
};

// The real files, through the POSIX calls.
class PosixFileLayer : public FileLayer {
  public:
    int OpenForAppend(const std::string& path, bool create) override;
    ssize_t Write(int fd, std::string_view bytes) override;
    int SyncData(int fd) override;
    int Truncate(int fd, off_t size) override;
    off_t Size(int fd) override;
    int Close(int fd) override;
    int ReadTail(const std::string& path, std::size_t count, std::string& bytes) override;
    int ReplaceFile(const std::string& path, std::string_view bytes) override;
};

// The one real file layer of the program.
FileLayer& PosixFiles();

}  // namespace brisolant
