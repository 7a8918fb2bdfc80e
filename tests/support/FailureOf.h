#pragma once

// The failure a step raises, for the tests that expect one.

#include <optional>
#include <ostream>
#include <utility>

#include "common/Failure.h"

namespace brisolant {

// A failure code as the operator sees it in the status bar, with its description, in test
// messages.
inline void PrintTo(FailureCode code, std::ostream* out) {
    *out << static_cast<int>(code) << " (" << FailureDescription(code) << ")";
}

namespace test {

// The failure the call raised, or nothing when it returned without one.
template <typename Call>
std::optional<Failure> FailureOf(Call&& call) {
    try {
        std::forward<Call>(call)();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

// The code of the failure the call raised, or nothing when it returned without one:
// EXPECT_EQ(FailureCodeOf([&] { Parse(text); }), FailureCode::ScanTooLong).
template <typename Call>
std::optional<FailureCode> FailureCodeOf(Call&& call) {
    const std::optional<Failure> failure = FailureOf(std::forward<Call>(call));
    if (!failure) {
        return std::nullopt;
    }
    return failure->code();
}

}  // namespace test
}  // namespace brisolant
