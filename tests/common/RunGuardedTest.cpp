#include "common/RunGuarded.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

namespace brisolant {
namespace {

std::optional<std::string> Reported(const std::function<void()>& step) {
    std::optional<std::string> status;
    RunGuarded(step, [&status](const Failure& failure) { status = StatusText(failure); });
    return status;
}

// A handler of the event loop must never let an exception reach the toolkit, which would end the
// program: out of memory in a menu command is a failure to show, like any other.
TEST(RunGuardedTest, EveryFailureOfAStepIsReportedAndNoneEscapes) {
    struct Row {
        const char* name;
        std::function<void()> step;
        std::optional<std::string> status;
    };
    const Row rows[] = {
        {"nothing thrown", [] {}, std::nullopt},
        {"a failure", [] { throw Failure(FailureCode::DataFileRead, "/data/LOG-001.txt"); },
         "Status: 124 Cannot read the data file: /data/LOG-001.txt"},
        {"out of memory", [] { throw std::bad_alloc(); },
         "Status: 901 Unexpected failure: std::bad_alloc"},
        {"a library's error", [] { throw std::length_error("basic_string::_M_create"); },
         "Status: 901 Unexpected failure: basic_string::_M_create"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Reported(row.step), row.status) << row.name;
    }
}

}  // namespace
}  // namespace brisolant
