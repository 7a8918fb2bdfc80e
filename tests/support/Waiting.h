#pragma once

// The one way the tests wait: for something to be seen, never for a fixed time.

#include <chrono>
#include <thread>

namespace brisolant::test {

// Generous, and the same for every wait: a slow, sanitized build on a loaded machine must
// never fail on time alone. A wait that holds at once costs nothing of it.
inline constexpr std::chrono::seconds kPatience{60};

// Checks the condition every few milliseconds until it holds or the patience runs out; for
// what another process or thread does.
template <typename Condition>
bool WaitUntil(Condition done, std::chrono::seconds patience = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace brisolant::test
