// What systemd hears from the program without a window, over a notification socket the test
// holds as systemd would: ready, panel 1, the watchdog only while the writer answers too, and
// the stop.

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/PosixFile.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StalledFolder.h"
#include "e2e/StationText.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {
namespace {

using test::WaitUntil;

// The socket systemd names in NOTIFY_SOCKET: each datagram is one message of sd_notify's.
class NotifySocket {
  public:
    explicit NotifySocket(const std::string& path) : path_(path) {
        socket_ = FileDescriptor(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bound_ =
            socket_.IsOpen() && path.size() < sizeof address.sun_path &&
            ::bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    bool Bound() const { return bound_; }
    const std::string& Path() const { return path_; }

    // Waits until a message with this text has come; what came meanwhile is kept.
    bool WaitFor(const std::string& text, std::size_t count = 1) {
        return WaitUntil([&] {
            Receive();
            return Count(text) >= count;
        });
    }
    // How many messages with this text have come so far.
    std::size_t Count(const std::string& text) {
        Receive();
        std::size_t count = 0;
        for (const std::string& message : messages_) {
            count += message.find(text) != std::string::npos ? 1 : 0;
        }
        return count;
    }
    std::string All() const {
        std::string all;
        for (const std::string& message : messages_) {
            all += message + "|";
        }
        return all;
    }

  private:
    void Receive() {
        char buffer[4096];
        for (ssize_t got; (got = ::recv(socket_.Get(), buffer, sizeof buffer, 0)) > 0;) {
            messages_.emplace_back(buffer, static_cast<std::size_t>(got));
        }
    }

    std::string path_;
    FileDescriptor socket_;
    bool bound_ = false;
    std::vector<std::string> messages_;
};

// A writer stuck on the journal's disk holds every scan back: the watchdog then goes unfed, so
// that systemd restarts the service, and is fed again once the writer answers. A hung data
// folder alone (its calls run on a thread of their own) never starves the watchdog.
TEST(ServiceManagerTest, TheWatchdogIsFedOnlyWhileTheWriterAnswersAndTheStopIsTold) {
    StalledFolder state;
    if (const std::string whyNot = state.Mounted(); !whyNot.empty()) {
        GTEST_SKIP() << whyNot;
    }
    std::string whyNot;
    // No data folder: every scan waits, and so goes into the journal.
    auto program = PrepareProgram({{"FilePath", "/nonexistent/brisolant-data/"}}, whyNot);
    if (!program) {
        GTEST_SKIP() << whyNot;
    }
    NotifySocket manager(program->Folder() + "notify");
    ASSERT_TRUE(manager.Bound());
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "WATCHDOG_PID"}) {
        program->RemoveEnvironment(name);
    }
    program->AddEnvironment("NOTIFY_SOCKET=" + manager.Path());
    program->AddEnvironment("WATCHDOG_USEC=400000");
    program->AddArgument("--headless");
    program->AddArgument("--state-dir");
    program->AddArgument(state.Mount() + "/dock");
    ASSERT_TRUE(program->StartAndWaitForPort()) << program->Log();
    ASSERT_TRUE(manager.WaitFor("READY=1")) << manager.All();
    EXPECT_TRUE(manager.WaitFor("STATUS=Status: Waiting Idle")) << manager.All();
    ASSERT_TRUE(manager.WaitFor("WATCHDOG=1", 2)) << manager.All();

    state.Hang("fsync");
    ASSERT_TRUE(program->Line().Write(Scan(ParcelBarcode(1))));
    const auto logHas = [&](const std::string& text) {
        return WaitUntil([&] { return program->Log().find(text) != std::string::npos; });
    };
    ASSERT_TRUE(logHas("The writer does not answer")) << program->Log();
    const std::size_t fed = manager.Count("WATCHDOG=1");
    state.Answer();
    ASSERT_TRUE(logHas("The writer answers again")) << program->Log();
    EXPECT_TRUE(manager.WaitFor("WATCHDOG=1", fed + 1)) << manager.All();

    ASSERT_EQ(::kill(program->Pid(), SIGTERM), 0);
    EXPECT_TRUE(manager.WaitFor("STOPPING=1")) << manager.All();
    ASSERT_TRUE(WaitUntil([&] { return !program->IsRunning(); }));
    EXPECT_EQ(program->ExitCode(), 0) << program->Log();
}

}  // namespace
}  // namespace brisolant::e2e
