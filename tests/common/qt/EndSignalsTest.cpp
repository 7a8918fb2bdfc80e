#include "common/qt/EndSignals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <vector>

#include "support/QtTestApp.h"
#include "support/QtWaiting.h"

namespace brisolant::test {
namespace {

// The handler the process has for the signal.
void (*HandlerOf(int signal))(int) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

// Each signal that ends a program reaches the event loop's thread as a call, and nothing else:
// the handler itself only writes to a pipe.
TEST(EndSignalsTest, EachEndingSignalComesThroughTheEventLoop) {
    EnsureQtApplication();
    for (const int signal : EndSignals::kSignals) {
        ASSERT_EQ(HandlerOf(signal), SIG_DFL) << EndSignals::Name(signal);
        std::vector<int> received;
        {
            EndSignals ending([&received](int number) { received.push_back(number); });
            ASSERT_EQ(::raise(signal), 0);
            ASSERT_TRUE(PumpUntil([&] { return !received.empty(); })) << EndSignals::Name(signal);
            SettleEvents();
            EXPECT_EQ(received, std::vector<int>{signal});
            EXPECT_EQ(ending.Received(), signal);
        }
        EXPECT_EQ(HandlerOf(signal), SIG_DFL) << "the default was not restored";
    }
    EXPECT_STREQ(EndSignals::Name(SIGHUP), "SIGHUP");
}

// A program stopped while it starts: the signal is held from the first line of main and comes
// through once the handlers are in place, instead of ending the program with its default action.
TEST(EndSignalsTest, ASignalHeldBeforeTheHandlersComeThroughOnceTheyAreInPlace) {
    EnsureQtApplication();
    EndSignals::HoldUntilHandled();
    ASSERT_EQ(::raise(SIGTERM), 0) << "held: the test goes on";
    std::vector<int> received;
    {
        EndSignals ending([&received](int number) { received.push_back(number); });
        ASSERT_TRUE(PumpUntil([&] { return !received.empty(); }));
        EXPECT_EQ(received, std::vector<int>{SIGTERM});
    }
    sigset_t held;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &held);
    EXPECT_FALSE(sigismember(&held, SIGTERM)) << "the signals are no longer held";
}

}  // namespace
}  // namespace brisolant::test
