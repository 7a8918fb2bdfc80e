#pragma once

// A file layer over the real files that logs every operation and can fail or "crash" at any of
// them, and a retry timer that only records whether it runs.

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/FileLayer.h"
#include "scan/RetryTimer.h"

namespace brisolant::test {

class FakeRetryTimer : public RetryTimer {
  public:
    void Start() override { running = true; }
    void Stop() override { running = false; }
    bool running = false;
};

// Thrown where the program would have died: the files stay as they are at that moment.
class SimulatedCrash : public std::runtime_error {
  public:
    SimulatedCrash() : std::runtime_error("simulated crash") {}
};

// Steps read "open NAME", "write NAME", "sync NAME", "truncate NAME", "size NAME",
// "close NAME", "read NAME" and "replace NAME", NAME being the file's name without its folder.
class FakeFileLayer : public PosixFileLayer {
  public:
    int OpenForAppend(const std::string& path, bool create) override;
    ssize_t Write(int fd, std::string_view bytes) override;
    int SyncData(int fd) override;
    int Truncate(int fd, off_t size) override;
    off_t Size(int fd) override;
    int Close(int fd) override;
    int ReadTail(const std::string& path, std::size_t count, std::string& bytes) override;
    int ReplaceFile(const std::string& path, std::string_view bytes) override;

    std::vector<std::string> steps;
    // A step's text mapped to the error it fails with, every time it comes.
    std::map<std::string, int> failures;
    // The number of the step (counted from 0) at which SimulatedCrash is thrown; a write that
    // crashes leaves half its bytes in the file first. Negative: never.
    long crashAt = -1;

  private:
    // Logs the step; returns the error it is to fail with, or 0.
    int Step(const std::string& what, const std::string& path);
    bool CrashIsDue() const;
    void CrashHere();
    std::map<int, std::string> paths_;
};

}  // namespace brisolant::test
