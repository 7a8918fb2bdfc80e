#include "common/ProcessRuns.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace brisolant {

namespace {

// The kernel's flag for a task that has begun to exit (include/linux/sched.h).
constexpr unsigned long kExiting = 0x4;
constexpr unsigned long long kKillSignal = 1ULL << (SIGKILL - 1);

// The state letter and the flags of /proc/<pid>/stat; the name before them may hold anything,
// so they are read after its closing parenthesis.
bool ReadStateAndFlags(pid_t pid, char& state, unsigned long& flags) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(file, text)) {
        return false;
    }
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos) {
        return false;
    }
    std::istringstream fields(text.substr(end + 1));
    long skipped = 0;
    fields >> state >> skipped >> skipped >> skipped >> skipped >> skipped >> flags;
    return !fields.fail();
}

// Whether a kill waits for the process (ShdPnd in /proc/<pid>/status).
bool KillPending(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line)) {
        if (line.starts_with("ShdPnd:")) {
            return (std::strtoull(line.c_str() + 7, nullptr, 16) & kKillSignal) != 0;
        }
    }
    return false;
}

}  // namespace

bool ProcessEnding(pid_t pid) {
    char state = 0;
    unsigned long flags = 0;
    if (pid <= 0 || !ReadStateAndFlags(pid, state, flags)) {
        return false;
    }
    return state == 'Z' || state == 'X' || (flags & kExiting) != 0 || KillPending(pid);
}

}  // namespace brisolant
