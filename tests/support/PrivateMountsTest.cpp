// The test programs' own terminals, lock files and mounts (see PrivateMounts.h): a test never
// meets a terminal or a lock file of another process on the machine, nor another test's FUSE
// folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/PrivateMounts.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> TerminalsInDevPts() {
    std::vector<std::string> terminals;
    for (const auto& entry : fs::directory_iterator("/dev/pts")) {
        if (entry.path().filename() != "ptmx") {
            terminals.push_back(entry.path().string());
        }
    }
    std::sort(terminals.begin(), terminals.end());
    return terminals;
}

// The machine's view of a path, through the root of its first process; false when that view
// is closed to this process (an unprivileged runner).
bool MachineView(const std::string& path, struct stat& info) {
    return ::stat(("/proc/1/root" + path).c_str(), &info) == 0;
}

TEST(PrivateMountsTest, TerminalsAndLockFilesMadeHereAreOnlyTheTestsOwn) {
    if (!WhyMountsAreShared().empty()) {
        GTEST_SKIP() << "this runner shares the machine's /dev/pts and /run/lock: "
                     << WhyMountsAreShared();
    }
    PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(TerminalsInDevPts(), std::vector<std::string>{line.path()});
    const std::string lockFile = "/run/lock/LCK..test-" + std::to_string(::getpid());
    WriteFile(lockFile, "");

    struct stat machinePts {};
    struct stat machineLocks {};
    if (MachineView("/dev/pts", machinePts) && MachineView("/run/lock", machineLocks)) {
        struct stat ours {};
        ASSERT_EQ(::stat(line.path().c_str(), &ours), 0);
        EXPECT_NE(ours.st_dev, machinePts.st_dev) << "the terminal is the machine's";
        EXPECT_FALSE(fs::exists("/proc/1/root" + lockFile)) << "the lock file is the machine's";
    }
    fs::remove(lockFile);
}

TEST(PrivateMountsTest, NoFuseFolderOfAnotherTestIsInSight) {
    if (!WhyMountsAreShared().empty() || ::geteuid() != 0) {
        GTEST_SKIP() << "only the superuser's own mount namespace may leave mounts out";
    }
    const std::string temporary = fs::canonical(fs::temp_directory_path()).string() + "/";
    std::ifstream mounts("/proc/self/mountinfo");
    std::string mount;
    while (std::getline(mounts, mount)) {
        const bool inTemporaryFolder = mount.find(" " + temporary) != std::string::npos;
        EXPECT_FALSE(inTemporaryFolder && mount.find(" - fuse") != std::string::npos) << mount;
    }
}

}  // namespace
}  // namespace brisolant::test
