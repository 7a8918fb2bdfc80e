#pragma once

// The one way the tests wait: for something to be seen, never for a fixed time.

#include <chrono>
#include <thread>
#include <utility>

namespace brisolant::test {

// Generous, and the same for every wait: a slow, sanitized build on a loaded machine must
// never fail on time alone. A wait that holds at once costs nothing of it.
inline constexpr std::chrono::seconds kPatience{60};

// Looks at the condition until it holds or the patience runs out, letting `pause` run between
// two looks (it should take about 10 ms).
template <typename Condition, typename Pause>
bool LookUntil(Condition done, std::chrono::seconds patience, Pause pause) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        pause();
    }
    return true;
}

// Checks the condition every few milliseconds until it holds or the patience runs out; for
// what another process or thread does.
template <typename Condition>
bool WaitUntil(Condition done, std::chrono::seconds patience = kPatience) {
    return LookUntil(std::move(done), patience,
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
}

}  // namespace brisolant::test
