#pragma once

// A file layer over the real files that logs every operation and can fail or "crash" at any of
// them: the data files' and the journal's, and the settings file's.

#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/ProfileFileLayer.h"
#include "store/FileLayer.h"

namespace brisolant::test {

// Thrown where the program would have died: the files stay as they are at that moment.
class SimulatedCrash : public std::runtime_error {
  public:
    SimulatedCrash() : std::runtime_error("simulated crash") {}
};

// Steps read "open NAME" (for appending), "openread NAME", "write NAME", "read NAME",
// "sync NAME", "truncate NAME", "stat NAME", "close NAME", "syncfolder NAME", "replace NAME" and
// "keep NAME", NAME being the file's name without its folder (a folder's own last name). The
// settings file's calls add "create NAME" (a new file), "openwrite NAME" and "rename NAME" (NAME
// the name replaced); its reads are "openread NAME" too.
class FakeFileLayer : public PosixFileLayer, public ProfileFileLayer {
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
    int Open(const std::string& path, int flags, mode_t mode) override;
    int Rename(const std::string& from, const std::string& to) override;

    // Taken from the writer's threads too: read it only while they rest, or through Steps().
    std::vector<std::string> steps;
    std::vector<std::string> Steps() const;
    // A step's text mapped to the error it fails with, every time it comes.
    std::map<std::string, int> failures;
    // Asked at every step not in `failures`: the error to fail with, or 0.
    std::function<int(const std::string& step)> inject;
    // The number of the step (counted from 0) at which SimulatedCrash is thrown; a write that
    // crashes leaves half its bytes in the file first. Negative: never.
    long crashAt = -1;
    // The crash is a power cut: every file written through the layer loses what was not synced,
    // but for the first half of what was appended since, as a disk that took part of it.
    bool powerCut = false;

  private:
    // Logs the step; returns the error it is to fail with, or 0.
    int Step(const std::string& what, const std::string& path);
    bool CrashIsDue() const;
    void CrashHere();
    int Opened(int fd, const std::string& path);
    void Synced(const std::string& path);
    void CutPower();
    std::string PathOf(int fd);
    void Forget(int fd);

    mutable std::mutex mutex_;
    std::map<int, std::string> paths_;
    std::map<std::string, std::string> synced_;  // each file as it was at its last sync
};

}  // namespace brisolant::test
