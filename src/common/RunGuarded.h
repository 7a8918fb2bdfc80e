#pragma once

#include <exception>
#include <utility>

#include "common/Failure.h"

namespace brisolant {

// Runs a step of the program's logic for a handler of the event loop. A Failure that escapes the
// step is handed to `report`; so is anything else the step throws as a standard exception (out of
// memory, say), as an unexpected failure. Nothing is thrown on through the toolkit, which would
// end the program.
template <typename Step, typename Report>
void RunGuarded(Step&& step, Report&& report) {
    try {
        std::forward<Step>(step)();
    } catch (const Failure& failure) {
        report(failure);
    } catch (const std::exception& error) {
        report(Failure(FailureCode::Unexpected, error.what()));
    }
}

}  // namespace brisolant
