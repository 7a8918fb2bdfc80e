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

// Whether a running process is ending: its main thread has exited, or it is on its way out (a
// kill it cannot yet act on, its exit under way), while a thread of it still waits in the
// kernel, as one does on a share that no longer answers. Such a process holds its files and
// locks until that wait is over.
bool ProcessEnding(pid_t pid);

}  // namespace brisolant
