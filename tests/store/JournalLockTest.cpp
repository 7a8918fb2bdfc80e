#include "store/JournalLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/ProcessRuns.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string Description(const JournalLock& lock, const std::string& settingsFile) {
    const auto problem = lock.Problem(settingsFile);
    return problem ? StatusText(*problem) : "";
}

// A process id that no process has any more.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

class JournalLockTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string journal = dir.file("Orvane.journal");
    std::string settings = dir.file("Orvane.ini");
};

// The lock file stays after a run, naming the last holder; the next run takes it over.
TEST_F(JournalLockTest, AFreeLockIsTakenAndTheFileNamesItsHolder) {
    WriteFile(journal + ".lock", std::to_string(EndedProcess()) + "\n");
    const JournalLock lock(journal);
    EXPECT_EQ(lock.state(), JournalLock::State::Held);
    EXPECT_EQ(lock.path(), dir.file("Orvane.journal.lock"));
    EXPECT_EQ(ReadFile(lock.path()), std::to_string(::getpid()) + "\n");
    EXPECT_EQ(lock.Problem(settings), std::nullopt);
}

TEST_F(JournalLockTest, ASecondCopyIsRefusedAndToldWhichProcessHoldsIt) {
    {
        const JournalLock first(journal);
        const JournalLock second(journal);
        EXPECT_EQ(second.state(), JournalLock::State::HeldElsewhere);
        EXPECT_EQ(second.holder(), ::getpid());
        EXPECT_EQ(Description(second, settings),
                  "Status: 401 The program already runs on this settings file; this copy ends: " +
                      settings + ", held by core_tests (process " + std::to_string(::getpid()) +
                      ")");
        EXPECT_EQ(ReadFile(first.path()), std::to_string(::getpid()) + "\n")
            << "the refused copy changed the file";
    }
    EXPECT_EQ(JournalLock(journal).state(), JournalLock::State::Held) << "not let go at the end";
}

// A holder that could not write its id leaves an earlier holder's in the file: a process that
// no longer runs is not named.
TEST_F(JournalLockTest, AHolderTheFileDoesNotNameIsAnotherProcess) {
    const JournalLock first(journal);
    WriteFile(first.path(), std::to_string(EndedProcess()) + "\n");
    const JournalLock second(journal);
    EXPECT_EQ(second.holder(), 0);
    EXPECT_EQ(Description(second, settings),
              "Status: 401 The program already runs on this settings file; this copy ends: " +
                  settings + ", held by another process");
}

// The kernel lets go of the lock of a process that dies, so a crash leaves nothing to clear.
TEST_F(JournalLockTest, AKilledHolderLeavesNoLockBehind) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const JournalLock lock(journal);
        const char state = lock.state() == JournalLock::State::Held ? 'H' : '-';
        (void)::write(ready[1], &state, 1);
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(state, 'H');

    const JournalLock whileItRuns(journal);
    EXPECT_EQ(whileItRuns.state(), JournalLock::State::HeldElsewhere);
    EXPECT_EQ(whileItRuns.holder(), child);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(JournalLock(journal).state(), JournalLock::State::Held);
}

// A holder whose main thread has ended while another thread of it still waits, as a program
// ending behind a share that does not answer does: the process keeps its lock until `release`
// is written to.
class EndingHolder {
  public:
    explicit EndingHolder(const std::string& journal) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release_[1]);
            static JournalLock lock(journal);
            static int readyFd = ready[1];
            static int releaseFd = release_[0];
            std::thread([] {
                char byte = 0;
                (void)!::write(readyFd, "H", 1);
                (void)!::read(releaseFd, &byte, 1);
                ::_exit(0);
            }).detach();
            // The main thread alone ends, without unwinding through the test's frames.
            ::syscall(SYS_exit, 0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char byte = 0;
        started_ = ::read(ready[0], &byte, 1) == 1 && byte == 'H';
        ::close(ready[0]);
    }
    ~EndingHolder() {
        Release();
        if (pid_ > 0) {
            ::waitpid(pid_, nullptr, 0);
        }
    }
    EndingHolder(const EndingHolder&) = delete;
    EndingHolder& operator=(const EndingHolder&) = delete;

    bool Started() const { return started_; }
    pid_t Pid() const { return pid_; }
    void Release() {
        if (release_[1] >= 0) {
            ::close(release_[1]);
            release_[1] = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
    bool started_ = false;
};

// A service started again while its previous run still ends behind a hung share: that run is
// told apart from a second copy, waited for, and the lock is taken once it lets go.
TEST_F(JournalLockTest, APreviousRunThatIsEndingIsWaitedForAndToldApart) {
    EndingHolder previous(journal);
    ASSERT_TRUE(previous.Started());
    ASSERT_TRUE(test::WaitUntil([&] { return ProcessEnding(previous.Pid()); }));

    JournalLock lock(journal);
    EXPECT_EQ(lock.state(), JournalLock::State::HeldElsewhere);
    EXPECT_TRUE(lock.HolderEnding());
    EXPECT_EQ(Description(lock, settings),
              "Status: 404 The previous run on this settings file is still ending (a data folder "
              "that does not answer holds it up); this copy ends, to be started again once that "
              "run has ended: " +
                  settings + ", held by core_tests (process " + std::to_string(previous.Pid()) +
                  ")");
    lock.WaitWhileHolderEnds(std::chrono::milliseconds(0), [] { return false; });
    EXPECT_EQ(lock.state(), JournalLock::State::HeldElsewhere) << "no patience: no wait";
    lock.WaitWhileHolderEnds(test::kPatience, [] { return true; });
    EXPECT_EQ(lock.state(), JournalLock::State::HeldElsewhere) << "stopped: no wait";

    previous.Release();
    lock.WaitWhileHolderEnds(test::kPatience, [] { return false; });
    EXPECT_EQ(lock.state(), JournalLock::State::Held);
    EXPECT_EQ(ReadFile(lock.path()), std::to_string(::getpid()) + "\n");
}

// A copy that runs is not ending: the wait returns at once and the refusal stays "already runs".
TEST_F(JournalLockTest, ACopyThatRunsIsNotWaitedFor) {
    const JournalLock first(journal);
    JournalLock second(journal);
    EXPECT_FALSE(second.HolderEnding());
    bool asked = false;
    second.WaitWhileHolderEnds(test::kPatience, [&asked] { return asked = true; });
    EXPECT_FALSE(asked);
    EXPECT_EQ(second.state(), JournalLock::State::HeldElsewhere);
}

// A settings file reached by another name is the same station: its journal lies elsewhere, but
// the file itself is locked, so a second copy is refused and told who serves the file.
TEST_F(JournalLockTest, ASettingsFileReachedByAnotherNameIsTheSameStation) {
    WriteFile(settings, "[SETTINGS]\r\n");
    TempDir other;
    const std::string symbolic = other.file("link.ini");
    const std::string hard = other.file("hard.ini");
    ASSERT_EQ(::symlink(settings.c_str(), symbolic.c_str()), 0);
    ASSERT_EQ(::link(settings.c_str(), hard.c_str()), 0);

    const JournalLock first(journal, settings);
    ASSERT_EQ(first.state(), JournalLock::State::Held);
    for (const std::string& name : {symbolic, hard}) {
        const JournalLock second(other.file("link.journal"), name);
        EXPECT_EQ(second.state(), JournalLock::State::HeldElsewhere) << name;
        EXPECT_EQ(Description(second, name),
                  "Status: 401 The program already runs on this settings file; this copy ends: " +
                      name + ", held by core_tests (process " + std::to_string(::getpid()) + ")");
        EXPECT_EQ(JournalLock(other.file("link.journal")).state(), JournalLock::State::Held)
            << "the refused copy let go of its journal's lock";
    }
}

// The settings dialog replaces the file with a new one: the lock follows, so a copy started
// afterwards through another name is still refused. Without a settings file the journal's lock
// alone stands.
TEST_F(JournalLockTest, TheLockFollowsASettingsFileWrittenAgain) {
    TempDir other;
    const std::string link = other.file("link.ini");
    ASSERT_EQ(::symlink(settings.c_str(), link.c_str()), 0);
    JournalLock first(journal, settings);
    ASSERT_EQ(first.state(), JournalLock::State::Held);
    EXPECT_EQ(JournalLock(other.file("a.journal"), link).state(), JournalLock::State::Held)
        << "no file yet: nothing to lock by its identity";

    WriteFile(settings + ".new", "[SETTINGS]\r\n");
    ASSERT_EQ(::rename((settings + ".new").c_str(), settings.c_str()), 0);
    first.FollowSettingsFile();
    EXPECT_EQ(JournalLock(other.file("b.journal"), link).state(),
              JournalLock::State::HeldElsewhere);

    WriteFile(settings + ".new", "[SETTINGS]\r\nBranchID=2\r\n");
    ASSERT_EQ(::rename((settings + ".new").c_str(), settings.c_str()), 0);
    first.FollowSettingsFile();
    EXPECT_EQ(JournalLock(other.file("c.journal"), link).state(),
              JournalLock::State::HeldElsewhere);
}

// The program runs on without the lock; the operator learns what cannot be made and why.
TEST_F(JournalLockTest, ALockFileThatCannotBeMadeIsReportedWithItsReason) {
    const JournalLock lock(dir.file("gone/Orvane.journal"));
    EXPECT_EQ(lock.state(), JournalLock::State::Unavailable);
    EXPECT_EQ(Description(lock, settings),
              "Status: 402 Cannot lock the journal of waiting scans, so a second copy of the "
              "program on this settings file would not be stopped: " +
                  dir.file("gone/Orvane.journal.lock") + ": No such file or directory");
}

}  // namespace
}  // namespace brisolant
