#include "device/qt/SerialCommPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <filesystem>
#include <vector>

#include "common/PosixFile.h"
#include "device/qt/LineSettingsText.h"
#include "support/FailureOf.h"
#include "support/PseudoTerminal.h"
#include "support/QtTestApp.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

TEST(LineSettingsTextTest, ReadsEveryFormThePortTakesAndWritesItBackInCapitals) {
    struct Row {
        const char* text;
        const char* readBack;
    };
    const Row rows[] = {
        {"9600,N,8,1", "9600,N,8,1"},     {"115200,e,7,2", "115200,E,7,2"},
        {"1200,O,5,1.5", "1200,O,5,1.5"}, {"300,m,6,1", "300,M,6,1"},
        {"31250,S,8,2", "31250,S,8,2"},   {"9600, N, 8, 1", "9600,N,8,1"},
    };
    for (const Row& row : rows) {
        const auto settings = ParseLineSettings(row.text);
        ASSERT_TRUE(settings.has_value()) << row.text;
        EXPECT_EQ(LineSettingsText(*settings), row.readBack) << row.text;
    }
}

TEST(LineSettingsTextTest, RefusesWhatNoPortCanTake) {
    for (const char* text :
         {"", "9600", "9600,N,8", "9600,N,8,1,1", "0,N,8,1", "-9600,N,8,1", "96OO,N,8,1",
          "99999999999,N,8,1", "9600,X,8,1", "9600,None,8,1", "9600,N,4,1", "9600,N,9,1",
          "9600,N,8,3", "9600,N,8,1.0", "9600;N;8;1"}) {
        EXPECT_FALSE(ParseLineSettings(text).has_value()) << text;
    }
}

class SerialCommPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        if (!pty.ok()) {
            GTEST_SKIP() << "no pseudo-terminal available";
        }
        port.SetCommPort(pty.path());
        port.SetEventHandler([this] { OnEvent(); });
        port.SetFailureHandler([this](const Failure& failure) { failures.push_back(failure); });
    }

    virtual void OnEvent() {
        events.push_back(port.CommEvent());
        if (port.CommEvent() == kEventReceive) {
            received += port.Input();
        }
    }

    PseudoTerminal pty;
    SerialCommPort port;
    std::vector<std::int16_t> events;
    std::vector<Failure> failures;
    std::string received;
};

TEST_F(SerialCommPortTest, OpensWithTheLineSettingsAndReadsThemBack) {
    port.SetSettings("19200,n,8,2");
    port.SetPortOpen(true);
    ASSERT_TRUE(port.PortOpen());
    EXPECT_EQ(port.Settings(), "19200,N,8,2");

    port.SetSettings("4800,N,8,1");  // taken at once while open
    EXPECT_EQ(port.Settings(), "4800,N,8,1");

    port.SetPortOpen(false);
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(SerialCommPortTest, BadSettingsAndMissingDevicesFailWithTheirOwnNumbers) {
    port.SetSettings("9600,Q,8,1");
    try {
        port.SetPortOpen(true);
        FAIL() << "opened with bad settings";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::PortBadSettings);
        EXPECT_NE(failure.description().find("9600,Q,8,1"), std::string::npos);
    }
    EXPECT_FALSE(port.PortOpen());

    port.SetSettings("9600,N,8,1");
    port.SetCommPort("/nonexistent");
    try {
        port.SetPortOpen(true);
        FAIL() << "opened a device that does not exist";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::PortDeviceMissing);
        EXPECT_TRUE(failure.description().ends_with(": /nonexistent")) << failure.description();
    }
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(SerialCommPortTest, OperationsOnAClosedPortFail) {
    using test::FailureCodeOf;
    EXPECT_EQ(FailureCodeOf([this] { (void)port.Input(); }), FailureCode::PortNotOpen);
    EXPECT_EQ(FailureCodeOf([this] { port.Output("\x15"); }), FailureCode::PortNotOpen);
    EXPECT_EQ(FailureCodeOf([this] { port.DiscardInput(); }), FailureCode::PortNotOpen);
}

TEST_F(SerialCommPortTest, ReceivesEveryByteAndSendsAnswersAtOnce) {
    port.SetPortOpen(true);
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    pty.Write(all);
    ASSERT_TRUE(PumpUntil([&] { return received.size() >= all.size(); }));
    EXPECT_EQ(received, all);
    EXPECT_EQ(events.front(), kEventReceive);
    EXPECT_EQ(port.CommEvent(), kEventReceive);

    port.Output("\x15");
    std::string answer;
    ASSERT_TRUE(PumpUntil([&] { return !(answer += pty.ReadAvailable()).empty(); }));
    EXPECT_EQ(answer, "\x15");
}

TEST_F(SerialCommPortTest, DiscardDropsWhatWasReceivedButNotRead) {
    port.SetEventHandler([] {});
    port.SetPortOpen(true);
    pty.Write("stale");
    ASSERT_TRUE(PumpUntil([&] { return port.BytesWaiting() == 5; }));
    port.DiscardInput();
    EXPECT_EQ(port.Input(), "");
}

// Qt raises no new readyRead while a handler of that signal runs, even across a nested event
// loop; bytes that came in meanwhile must still get an event, or they wait for the next scan.
class SerialCommPortNestedTest : public SerialCommPortTest {
  protected:
    void OnEvent() override {
        SerialCommPortTest::OnEvent();
        if (events.size() == 1) {
            pty.Write("second");
            secondWaitedDuringTheRun = PumpUntil([&] { return port.BytesWaiting() > 0; });
        }
    }

    bool secondWaitedDuringTheRun = false;
};

TEST_F(SerialCommPortNestedTest, BytesArrivingDuringAHandlerRunGetAnEventOfTheirOwn) {
    port.SetPortOpen(true);
    pty.Write("first");
    ASSERT_TRUE(PumpUntil([&] { return received == "firstsecond"; })) << received;
    EXPECT_TRUE(secondWaitedDuringTheRun) << "the second bytes came only after the handler ran";
    EXPECT_EQ(events, (std::vector<std::int16_t>{kEventReceive, kEventReceive}));
}

TEST_F(SerialCommPortTest, SettingsTheDeviceRefusesFailNamingThePartAndLeaveThePortClosed) {
    // A pseudo-terminal carries whole bytes: it has no parity and no 7-bit characters.
    for (const char* settings : {"9600,E,8,1", "9600,N,7,1"}) {
        port.SetSettings(settings);
        try {
            port.SetPortOpen(true);
            ADD_FAILURE() << settings << " opened";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), FailureCode::PortBadSettings);
            EXPECT_NE(failure.description().find(std::string(settings) + ": " + pty.path() +
                                                 " does not take the "),
                      std::string::npos)
                << failure.description();
        }
        EXPECT_FALSE(port.PortOpen()) << settings;
    }
}

TEST_F(SerialCommPortTest, AVanishedDeviceIsClosedAndReportedOnce) {
    port.SetPortOpen(true);
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return !failures.empty(); }));
    // A closed pseudo-terminal keeps signalling an error until the port is closed: were it
    // still watched, the next turns of the event loop would bring a second report.
    SettleEvents();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].code(), FailureCode::PortVanished);
    // Nothing of the system's text, such as "No such file or directory", which would read as
    // a missing file.
    EXPECT_TRUE(failures[0].description().ends_with("closed): " + pty.path()))
        << failures[0].description();
    EXPECT_FALSE(port.PortOpen());
    EXPECT_THROW(port.Output("\x06"), Failure);
}

TEST_F(SerialCommPortTest, APortHeldByAnotherProgramSaysWhoHoldsIt) {
    QSerialPort other;
    other.setPortName(QString::fromStdString(pty.path()));
    ASSERT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
    try {
        port.SetPortOpen(true);
        FAIL() << "opened a port another program holds";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), FailureCode::PortInUse);
        EXPECT_NE(failure.description().find(pty.path() + ", held by "), std::string::npos)
            << failure.description();
        EXPECT_TRUE(failure.description().ends_with(" (process " + std::to_string(getpid()) + ")"))
            << failure.description();
    }
    other.close();
    port.SetPortOpen(true);
    EXPECT_TRUE(port.PortOpen()) << "free again once the other program lets go";
}

// Two settings files naming one device differently (/dev/serial/by-id/... and /dev/ttyUSB0, or
// two links) must not have two programs reading it, each taking a share of the scans. As root,
// which the terminal's exclusive-open flag does not stop, the second open itself succeeds.
TEST_F(SerialCommPortTest, TheSameDeviceByAnotherNameIsRefusedNamingTheHolderUntilItLetsGo) {
    TempDir links;
    const std::string link = links.file("station");
    std::filesystem::create_symlink(pty.path(), link);
    const std::string self = " (process " + std::to_string(getpid()) + ")";
    struct Names {
        std::string first;
        std::string second;
    };
    for (const Names& names : {Names{pty.path(), link}, Names{link, pty.path()}}) {
        SCOPED_TRACE(names.first + " then " + names.second);
        SerialCommPort first;
        first.SetCommPort(names.first);
        first.SetPortOpen(true);
        ASSERT_TRUE(first.PortOpen());

        port.SetCommPort(names.second);
        try {
            port.SetPortOpen(true);
            ADD_FAILURE() << "opened a device another port holds";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), FailureCode::PortInUse);
            EXPECT_TRUE(
                failure.description().ends_with(names.second + ", held by shell_tests" + self))
                << failure.description();
        }
        EXPECT_FALSE(port.PortOpen());
        EXPECT_TRUE(first.PortOpen());

        first.SetPortOpen(false);
        port.SetPortOpen(true);
        EXPECT_TRUE(port.PortOpen()) << "free again once the first lets go";
        port.SetPortOpen(false);
    }
}

// Qt calls a read that finds no bytes an error. A device that is well gives such a read when
// another reader took the bytes first: a second descriptor of the terminal whose notifier was
// registered before the port's, so that it reads first in the turn both are woken in.
TEST_F(SerialCommPortTest, AReadThatFindsNoBytesOnALiveDeviceIsNotALoss) {
    const FileDescriptor other(::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    ASSERT_TRUE(other.IsOpen());
    std::string stolen;
    QSocketNotifier thief(other.Get(), QSocketNotifier::Read);
    QObject::connect(&thief, &QSocketNotifier::activated, [&] {
        char buffer[256];
        ssize_t count = 0;
        while ((count = ::read(other.Get(), buffer, sizeof buffer)) > 0) {
            stolen.append(buffer, static_cast<std::size_t>(count));
        }
        thief.setEnabled(false);  // once only
    });
    port.SetPortOpen(true);
    pty.Write("taken");
    ASSERT_TRUE(PumpUntil([&] { return stolen == "taken"; })) << stolen;
    SettleEvents();
    EXPECT_TRUE(failures.empty()) << failures.front().description();
    ASSERT_TRUE(port.PortOpen()) << "closed a port whose device is still there";

    pty.Write("after");
    ASSERT_TRUE(PumpUntil([&] { return received == "after"; })) << received;
    EXPECT_TRUE(failures.empty());
}

TEST_F(SerialCommPortTest, APseudoTerminalReportsNoLineEvents) {
    port.SetPortOpen(true);
    pty.Write("x");
    ASSERT_TRUE(PumpUntil([&] { return received == "x"; }));
    SettleEvents();
    EXPECT_EQ(events, std::vector<std::int16_t>{kEventReceive});
}

}  // namespace
}  // namespace brisolant::test
