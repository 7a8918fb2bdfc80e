#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "common/PosixFile.h"

namespace brisolant {

// The lock a running program holds on its journal of waiting scans for its whole run, so that a
// second copy on the same settings file cannot write the same waiting scans out a second time.
// It is an flock on a file beside the journal, which names the holder's process id, and an flock
// on the settings file itself: a settings file reached by another name (a symbolic or hard link,
// whose journal lies elsewhere) is the same file, and so the same station. The kernel lets go of
// both when the process ends, however it ends, so a crash leaves no stale lock; the lock file
// itself stays.
class JournalLock {
  public:
    enum class State {
        Held,           // this program holds it
        HeldElsewhere,  // another process holds it
        Unavailable,    // the lock file cannot be opened (a read-only folder, say): nothing held
    };

    // Tries once to take the lock of the journal at journalPath and of the settings file, when
    // one is named and there; never waits.
    explicit JournalLock(const std::string& journalPath, std::string settingsFile = {});

    // The settings file was written again (a save replaces the file with a new one): the lock
    // moves to the file now in its place.
    void FollowSettingsFile();

    // While the holder is a process that is ending (a thread of it stuck on a share that does
    // not answer keeps its lock until the share answers), tries again until the lock is taken
    // or the patience runs out. Returns at once when the holder is not ending.
    // `stop` is asked between two tries: true ends the wait.
    void WaitWhileHolderEnds(std::chrono::milliseconds patience, const std::function<bool()>& stop);
    // Whether the lock is held by a process that is ending.
    [[nodiscard]] bool HolderEnding() const { return holder_ending_; }

    [[nodiscard]] State state() const { return state_; }
    // The lock file.
    [[nodiscard]] const std::string& path() const { return path_; }
    // The process that holds the lock elsewhere, as the lock file or the system's list of locks
    // names it; 0 when neither names one that runs.
    [[nodiscard]] pid_t holder() const { return holder_; }
    // Why this program does not hold the lock, told so the operator can act: which process runs
    // on the settings file, or why the lock file cannot be opened. Nothing when it is held.
    [[nodiscard]] std::optional<Failure> Problem(const std::string& settingsFile) const;

  private:
    void Take();
    void TakeJournalLock();
    void TakeSettingsLock();

    std::string path_;
    std::string settings_path_;
    FileDescriptor file_;
    FileDescriptor settings_file_;
    State state_ = State::Unavailable;
    pid_t holder_ = 0;
    bool holder_ending_ = false;
    int error_ = 0;
};

// The lock file of the journal at journalPath: beside it, named after it ("Orvane.journal" is
// locked through "Orvane.journal.lock").
std::string JournalLockPath(const std::string& journalPath);

}  // namespace brisolant
