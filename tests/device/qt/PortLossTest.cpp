#include "device/qt/PortLoss.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "common/PosixFile.h"
#include "support/PseudoTerminal.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

namespace fs = std::filesystem;

class PortLossTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!pty.ok() || !other.ok()) {
            GTEST_SKIP() << "no pseudo-terminal available";
        }
        fs::create_symlink(pty.path(), link);
        port = FileDescriptor(::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(port.IsOpen());
    }

    PseudoTerminal pty;
    PseudoTerminal other;
    TempDir links;
    const std::string link = links.file("station");
    FileDescriptor port;
};

TEST_F(PortLossTest, ADeviceThatIsThereWithNothingToReadIsNotGone) {
    EXPECT_FALSE(DeviceGone(link, port.Get()));
    pty.Write("waiting");
    EXPECT_FALSE(DeviceGone(link, port.Get()));
    EXPECT_FALSE(DeviceGone(pty.path(), port.Get()));
}

TEST_F(PortLossTest, AClosedFarEndIsGone) {
    pty.CloseMaster();
    EXPECT_TRUE(DeviceGone(link, port.Get()));
    EXPECT_TRUE(DeviceGone(pty.path(), port.Get()));
}

// The name now leads to another device, or to none: the port reads a device that is no longer
// the one named.
TEST_F(PortLossTest, ANameThatLeadsElsewhereOrNowhereIsGone) {
    fs::remove(link);
    EXPECT_TRUE(DeviceGone(link, port.Get()));
    fs::create_symlink(other.path(), link);
    EXPECT_TRUE(DeviceGone(link, port.Get()));
}

}  // namespace
}  // namespace brisolant::test
