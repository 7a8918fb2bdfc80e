#pragma once

#include "device/CommHandler.h"
#include "device/ReceiveState.h"

namespace brisolant::test {

// The receive handler's state as a test sets it up: a state that takes long to reach by events
// (the retry count at its top) is set outright. The program reads it only.
struct CommHandlerProbe {
    static ReceiveState& State(CommHandler& handler) { return handler.state_; }
};

}  // namespace brisolant::test
