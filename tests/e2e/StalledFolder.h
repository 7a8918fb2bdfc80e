#pragma once

// A folder that stops answering on demand, as a lost share does, for the end-to-end tests.

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/ChildProcess.h"
#include "e2e/ProgramUnderTest.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {

// A FUSE folder over a backing folder that hangs while its control file exists.
class StalledFolder {
  public:
    StalledFolder() {
        std::filesystem::create_directory(Backing());
        std::filesystem::create_directory(Mount());
    }
    ~StalledFolder() {
        Answer();
        ::umount2(Mount().c_str(), MNT_DETACH);
    }

    // Mounts it; empty, or why it cannot be had here.
    std::string Mounted() {
        const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fuse < 0) {
            return "no usable /dev/fuse";
        }
        ::close(fuse);
        if (!process_.Start({"/usr/bin/python3", STALLFS_SCRIPT, Backing(), Mount(), Control()},
                            EnvironmentWith({}), dir_.file("stallfs.log"))) {
            return "the FUSE folder did not start";
        }
        const bool up = test::WaitUntil([&] {
            return !process_.IsRunning() ||
                   test::ReadFile("/proc/self/mounts").find(Mount()) != std::string::npos;
        });
        if (!up || !process_.IsRunning()) {
            return "no FUSE folder here (python3-fusepy and libfuse2 are needed): " +
                   test::ReadFile(dir_.file("stallfs.log"));
        }
        return {};
    }

    // From now on these calls (all when none is named) wait until Answer.
    void Hang(const std::string& calls = "") { test::WriteFile(Control(), calls); }
    void Answer() { std::filesystem::remove(Control()); }

    // How many syncs of a file have completed so far.
    std::size_t Syncs() const {
        const std::string log = test::ReadFile(dir_.file("stallfs.log"));
        std::size_t count = 0;
        for (std::size_t at = log.find("fsync "); at != std::string::npos;
             at = log.find("fsync ", at + 1)) {
            ++count;
        }
        return count;
    }

    std::string Mount() const { return dir_.folder() + "mnt"; }
    std::string Backing() const { return dir_.folder() + "backing"; }
    // The records as they are on the disk beneath the folder, which the test can read while the
    // folder hangs.
    std::vector<std::string> Lines() const {
        std::string text;
        for (const auto& entry : std::filesystem::directory_iterator(Backing())) {
            text += test::ReadFile(entry.path().string());
        }
        return SplitLines(text);
    }

  private:
    std::string Control() const { return dir_.file("hang"); }

    test::TempDir dir_;
    ChildProcess process_;
};

}  // namespace brisolant::e2e
