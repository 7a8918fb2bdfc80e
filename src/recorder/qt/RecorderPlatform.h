#pragma once

#include <functional>
#include <string>

#include "common/Clock.h"
#include "device/qt/QtPortWatch.h"
#include "device/qt/SerialCommPort.h"
#include "recorder/Recorder.h"
#include "recorder/qt/QtWriterWakeup.h"
#include "store/ThreadedRecordWriter.h"

namespace brisolant {

// The port, its watch, the clock and the writer a recorder runs on in the program, and the
// wiring of their events to it. The window and the program without one each add their views.
class RecorderPlatform {
  public:
    // Runs a step of the recorder for an event handler; nothing may be thrown through Qt.
    using StepRunner = std::function<void(const std::function<void()>&)>;

    RecorderPlatform();
    ~RecorderPlatform();
    RecorderPlatform(const RecorderPlatform&) = delete;
    RecorderPlatform& operator=(const RecorderPlatform&) = delete;

    struct Views {
        ScanDisplay& scans;
        LineStatusView& line;
        EventPump& pump;
        InputPrompt& prompt;
        MessagePresenter& messages;
    };
    RecorderServices Services(const Views& views, SettingsPlace place, std::string journalPath);
    // From now on the port's, the watch's and the writer's events reach the recorder.
    void Connect(Recorder& recorder, StepRunner run);
    // No event reaches the recorder any more: before it goes.
    void Disconnect();
    // Closes the port and stops watching for it, as the program ends, once what the port has
    // received has gone through the receive handler.
    void ClosePort();

    // Whether the writer's thread answered the previous heartbeat (ThreadedRecordWriter).
    bool WriterHeartbeat() { return writer_.Heartbeat(); }

    SerialCommPort& Comm() { return comm_; }
    QtPortWatch& PortWatch() { return portWatch_; }

  private:
    SerialCommPort comm_;
    QtPortWatch portWatch_;
    SystemClock clock_;
    QtWriterWakeup wakeup_;
    ThreadedRecordWriter writer_;
};

}  // namespace brisolant
