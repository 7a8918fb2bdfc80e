#include "device/qt/DeviceLock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/PosixFile.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

TEST(DeviceLockTest, ALockTakenOnOneOpenFileRefusesAnotherAndIsListedWithItsHolder) {
    TempDir folder;
    WriteFile(folder.file("node"), "");
    const FileDescriptor first(::open(folder.file("node").c_str(), O_RDONLY | O_CLOEXEC));
    const FileDescriptor second(::open(folder.file("node").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(first.IsOpen() && second.IsOpen());
    struct stat node {};
    ASSERT_EQ(::fstat(first.Get(), &node), 0);
    EXPECT_EQ(DeviceLockHolder(node), std::nullopt);

    ASSERT_TRUE(LockDevice(first.Get()));
    EXPECT_FALSE(LockDevice(second.Get()));
    EXPECT_EQ(DeviceLockHolder(node), ::getpid());
    EXPECT_EQ(DeviceHolderText(::getpid()),
              "shell_tests (process " + std::to_string(::getpid()) + ")");
    EXPECT_EQ(DeviceHolderText(0), "another program");
}

}  // namespace
}  // namespace brisolant::test
