#pragma once

// Waiting inside a Qt test: the awaited events come through this thread's own event loop, so
// the loop runs while the test waits.

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <chrono>

#include "support/Waiting.h"

namespace brisolant::test {

// How many looks, 10 ms apart, a timer-driven wait takes for the same patience.
inline constexpr int kTriesEvery10Ms =
    static_cast<int>(std::chrono::milliseconds(kPatience).count() / 10);

// Runs the event loop until the condition holds or the patience runs out.
template <typename Condition>
bool PumpUntil(Condition done, std::chrono::seconds patience = kPatience) {
    return LookUntil(std::move(done), patience, [] {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    });
}

// Runs the event loop until everything queued so far has been handled, and a few turns more
// in which every socket notifier still armed gets its chance to fire. What did not happen by
// then cannot be a reaction to what the test did: the order of events says so, not a time.
inline void SettleEvents() {
    constexpr int kTurns = 3;
    for (int turn = 0; turn < kTurns; ++turn) {
        bool reached = false;
        const QObject context;  // takes the call back with it should the wait give up
        QTimer::singleShot(0, &context, [&reached] { reached = true; });
        PumpUntil([&reached] { return reached; });
    }
}

}  // namespace brisolant::test
