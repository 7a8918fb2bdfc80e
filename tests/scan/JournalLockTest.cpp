#include "scan/JournalLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/TestSupport.h"

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
