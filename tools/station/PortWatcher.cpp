#include "PortWatcher.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "StopSignals.h"

namespace brisolant::station {
namespace {

namespace fs = std::filesystem;

bool ProcessHolds(const fs::path& processDir, const std::string& path) {
    std::error_code error;
    fs::directory_iterator entries(processDir / "fd", error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entries->path(), linkError);
        if (!linkError && target == path) {
            return true;
        }
    }
    return false;
}

bool IsProcessId(const std::string& name) {
    return !name.empty() && std::isdigit(static_cast<unsigned char>(name[0])) != 0;
}

}  // namespace

bool IsOpenedBy(int pid, const std::string& path) {
    if (pid != 0) {
        return ProcessHolds(fs::path("/proc") / std::to_string(pid), path);
    }
    const std::string self = std::to_string(getpid());
    std::error_code error;
    fs::directory_iterator processes("/proc", error);
    for (; !error && processes != fs::directory_iterator(); processes.increment(error)) {
        const std::string name = processes->path().filename().string();
        // Processes of other users are unreadable and simply skipped.
        if (IsProcessId(name) && name != self && ProcessHolds(processes->path(), path)) {
            return true;
        }
    }
    return false;
}

bool WaitUntilOpened(int pid, const std::string& path, const StopSignals& signals) {
    constexpr double kInterval = 0.1;
    const fs::path process = fs::path("/proc") / std::to_string(pid);
    while (!IsOpenedBy(pid, path)) {
        std::error_code error;
        if (pid != 0 && !fs::exists(process, error)) {
            return false;
        }
        if (!signals.Sleep(kInterval)) {
            return false;
        }
    }
    return true;
}

}  // namespace brisolant::station
