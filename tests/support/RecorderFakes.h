#pragma once

// The fakes a recorder reaches the port, the window, the clock and the operator through, for a
// test fixture to derive from.

#include <utility>

#include "recorder/Recorder.h"
#include "support/FakeWindow.h"
#include "support/TestSupport.h"

namespace brisolant::test {

struct RecorderFakes {
    // What a recorder over these fakes needs, recording through the writer.
    RecorderServices Services(RecordWriter& writer, SettingsPlace place) {
        return {view,   view,     port,  watch,          pump,
                prompt, messages, clock, LocaleFormat{}, std::move(place),
                writer, {}};
    }

    FakeView view;
    FakePort port;
    FakeWatch watch;
    FakePump pump;
    FakePrompt prompt;
    RecordingMessages messages;
    FakeClock clock;
};

}  // namespace brisolant::test
