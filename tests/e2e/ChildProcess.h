#pragma once

// A program the test starts and ends: its output goes to a log file.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace brisolant::e2e {

class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the executable with the arguments and the environment; stdin is /dev/null, stdout
    // and stderr go to the log file. False when it cannot start (the reason is in the log).
    bool Start(const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, const std::string& logPath);
    bool IsRunning();
    // SIGTERM, then SIGKILL when it lingers.
    void Stop();
    // SIGKILL, and waits until it is gone.
    void Kill();
    pid_t Pid() const { return pid_; }
    // The code it ended with through exit(); nothing while it runs or when a signal ended it.
    std::optional<int> ExitCode() const;

  private:
    void Ended(int status);

    pid_t pid_ = -1;
    int status_ = -1;
};

// The inherited environment, less the named variables, plus the given ones ("NAME=value").
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& replaced);

}  // namespace brisolant::e2e
