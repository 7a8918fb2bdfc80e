#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cerrno>

namespace brisolant {

// Whether a process with this id runs on this machine, whoever's it is (a lock file names its
// holder by it).
inline bool ProcessRuns(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace brisolant
