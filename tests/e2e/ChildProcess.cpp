#include "e2e/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include "support/TestSupport.h"
#include "support/Waiting.h"

extern char** environ;

namespace brisolant::e2e {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment, const std::string& logPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> argumentCopy = arguments;
    std::vector<std::string> environmentCopy = environment;
    const int failure =
        posix_spawn(&pid_, argumentCopy[0].c_str(), &actions, nullptr,
                    Pointers(argumentCopy).data(), Pointers(environmentCopy).data());
    posix_spawn_file_actions_destroy(&actions);
    status_ = -1;
    if (failure != 0) {
        pid_ = -1;
        test::WriteFile(logPath, "cannot start " + arguments[0] + ": " + std::strerror(failure));
        return false;
    }
    return true;
}

bool ChildProcess::IsRunning() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        Ended(status);
        return false;
    }
    return true;
}

void ChildProcess::Ended(int status) {
    status_ = status;
    pid_ = -1;
}

std::optional<int> ChildProcess::ExitCode() const {
    if (pid_ > 0 || status_ < 0 || !WIFEXITED(status_)) {
        return std::nullopt;
    }
    return WEXITSTATUS(status_);
}

void ChildProcess::Stop() {
    if (!IsRunning()) {
        return;
    }
    kill(pid_, SIGTERM);
    if (!test::WaitUntil([this] { return !IsRunning(); }, std::chrono::seconds(10))) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        Ended(status);
    }
}

void ChildProcess::Kill() {
    if (!IsRunning()) {
        return;
    }
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    Ended(status);
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& replaced) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        bool dropped = false;
        for (const std::string& replacement : replaced) {
            const std::string name = replacement.substr(0, replacement.find('=') + 1);
            dropped = dropped || variable.starts_with(name);
        }
        if (!dropped) {
            variables.push_back(variable);
        }
    }
    variables.insert(variables.end(), replaced.begin(), replaced.end());
    return variables;
}

}  // namespace brisolant::e2e
