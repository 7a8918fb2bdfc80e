#include "device/qt/TerminalLink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/PosixFile.h"
#include "device/qt/SerialCommPort.h"
#include "device/qt/TerminalStamps.h"
#include "support/FailureOf.h"
#include "support/PseudoTerminal.h"
#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

namespace fs = std::filesystem;

class TerminalLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        if (!pty.ok()) {
            GTEST_SKIP() << "no pseudo-terminal available";
        }
        port.SetCommPort(link);
        port.SetEventHandler([this] {
            if (port.CommEvent() == kEventReceive) {
                received += port.Input();
            }
        });
    }

    dev_t TerminalNumber() const {
        struct stat node {};
        ::stat(pty.path().c_str(), &node);
        return node.st_rdev;
    }

    PseudoTerminal pty;
    TempDir links;
    const std::string link = links.file("station");
    SerialCommPort port;
    std::string received;
};

TEST_F(TerminalLinkTest, ALinkMadeAfterItsTerminalIsFollowed) {
    fs::create_symlink(pty.path(), link);
    EXPECT_EQ(CheckTerminalLink(link), TerminalNumber());
    port.SetPortOpen(true);
    ASSERT_TRUE(port.PortOpen());
    pty.Write("scan");
    ASSERT_TRUE(PumpUntil([&] { return received == "scan"; })) << received;
}

// The terminal behind a link left over is somebody's shell: it is not opened, not even for a
// moment, and opened once the link is made again, as a station started again makes it.
TEST_F(TerminalLinkTest, ALinkOlderThanItsTerminalIsRefusedAndTheTerminalLeftAlone) {
    const FileDescriptor shell(::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(shell.IsOpen());
    const termios before = ShellSettings(shell.Get());
    fs::create_symlink(pty.path(), link);
    ASSERT_TRUE(MakeNewerThan(pty.path(), link));

    try {
        port.SetPortOpen(true);
        ADD_FAILURE() << "opened the terminal behind a link older than it";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::PortLinkStale);
        EXPECT_TRUE(
            failure.description().ends_with("start it again: " + link + " -> " + pty.path()))
            << failure.description();
    }
    EXPECT_FALSE(port.PortOpen());
    termios after{};
    ASSERT_EQ(::tcgetattr(shell.Get(), &after), 0);
    EXPECT_TRUE(SameSettings(before, after)) << "the terminal's settings were changed";

    fs::remove(link);
    fs::create_symlink(pty.path(), link);
    port.SetPortOpen(true);
    EXPECT_TRUE(port.PortOpen());
}

// The link that names the terminal tells when it was made for it; a link to that link, such as
// a settings file's own name for the station, may be older.
TEST_F(TerminalLinkTest, TheLinkThatNamesTheTerminalIsTheOneCompared) {
    const std::string last = links.file("last");
    fs::create_symlink(last, link);
    ASSERT_TRUE(MakeNewerThan(pty.path(), link));
    fs::create_symlink(pty.path(), last);
    EXPECT_EQ(CheckTerminalLink(link), TerminalNumber());

    ASSERT_TRUE(MakeNewerThan(pty.path(), last));
    EXPECT_EQ(FailureCodeOf([&] { (void)CheckTerminalLink(link); }), FailureCode::PortLinkStale);
}

// A bare /dev/pts/N keeps its rule (never waited for once gone); anything else behind a link
// is no pseudo-terminal and opens as before; a broken link fails at the open.
TEST_F(TerminalLinkTest, PathsThatAreNoLinkToAPseudoTerminalAreNotChecked) {
    WriteFile(links.file("file"), "");
    fs::create_symlink(links.file("file"), links.file("to-file"));
    fs::create_symlink("/dev/null", links.file("to-null"));
    fs::create_symlink(links.file("missing"), links.file("to-missing"));
    fs::create_symlink(links.file("loop-b"), links.file("loop-a"));
    fs::create_symlink(links.file("loop-a"), links.file("loop-b"));
    fs::create_symlink(pty.path(), link);
    ASSERT_TRUE(MakeNewerThan(pty.path(), link));
    for (const std::string& path :
         {pty.path(), links.file("to-file"), links.file("to-null"), links.file("to-missing"),
          links.file("loop-a"), links.file("missing")}) {
        EXPECT_EQ(CheckTerminalLink(path), std::nullopt) << path;
    }
}

}  // namespace
}  // namespace brisolant::test
