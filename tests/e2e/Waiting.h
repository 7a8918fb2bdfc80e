#pragma once

#include <chrono>
#include <thread>

namespace brisolant::e2e {

// Waits in these tests are generous: a slow or sanitized build must never fail on time alone.
inline constexpr std::chrono::seconds kPatience{60};

// Checks the condition every few milliseconds until it holds or the patience runs out.
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

}  // namespace brisolant::e2e
