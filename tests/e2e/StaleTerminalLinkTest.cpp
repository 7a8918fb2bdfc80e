// A station reached through a link that it leaves behind when it ends without cleaning up (its
// terminal window closed, or killed): the terminal number it had goes to the next terminal made
// on the machine, somebody's shell. The program must not open that terminal, and must open the
// port as soon as a station makes its link again.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>

#include <filesystem>
#include <memory>
#include <string>

#include "common/PosixFile.h"
#include "device/qt/TerminalStamps.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;

TEST(StaleTerminalLinkTest, ALinkOlderThanItsTerminalIsNotFollowedUntilItIsMadeAgain) {
    test::TempDir folder;
    const std::string link = folder.file("station");
    std::string whyNot;
    const auto program = PrepareProgram({{"CommPort", link}}, whyNot);
    if (!program) {
        GTEST_SKIP() << whyNot;
    }
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        program->RemoveEnvironment(name);
    }
    program->AddArgument("--headless");  // the status panel goes to the log
    fs::create_symlink(program->Line().ProgramEnd(), link);
    ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
    ASSERT_TRUE(program->Line().Write(Scan(ParcelBarcode(1))));
    ASSERT_EQ(program->WaitForLines(1).size(), 1u) << program->Log();

    // No test can choose a terminal's number, so the link is made to lead to the shell's
    // terminal while the port is open and nothing looks at it, and the terminal then stamped
    // newer than the link: what a link left behind and a number handed on look like.
    TestLine shell;
    const std::string terminal = shell.ProgramEnd();
    const FileDescriptor typing(::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(typing.IsOpen());
    const termios before = test::ShellSettings(typing.Get());
    fs::remove(link);
    fs::create_symlink(terminal, link);
    ASSERT_TRUE(test::MakeNewerThan(terminal, link));
    program->Line().Close();  // the station's end goes

    const std::string stale =
        "Status: 211 The port's link leads to a terminal newer than the "
        "link: the program that made the link has ended; start it again: " +
        link + " -> " + terminal;
    ASSERT_TRUE(test::WaitUntil([&] {
        return program->Log().find(stale) != std::string::npos || !program->IsRunning();
    })) << program->Log();
    EXPECT_FALSE(HasOpen(program->Pid(), terminal));
    termios after{};
    ASSERT_EQ(::tcgetattr(typing.Get(), &after), 0);
    EXPECT_TRUE(test::SameSettings(before, after)) << "the shell's terminal settings were changed";

    // A station started again makes its link again, newer than its terminal.
    fs::remove(link);
    fs::create_symlink(terminal, link);
    ASSERT_TRUE(test::WaitUntil([&] { return HasOpen(program->Pid(), terminal); }))
        << program->Log();
    ASSERT_TRUE(shell.Write(Scan(ParcelBarcode(2))));
    const auto lines = program->WaitForLines(2);
    ASSERT_EQ(lines.size(), 2u) << program->Log();
    EXPECT_EQ(BarcodeOf(lines[1]), ParcelBarcode(2));
}

}  // namespace
}  // namespace brisolant::e2e
