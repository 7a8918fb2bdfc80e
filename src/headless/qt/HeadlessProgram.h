#pragma once

#include <QTimer>
#include <functional>
#include <ostream>
#include <string>

#include "device/qt/QtEventPump.h"
#include "headless/ConsoleLog.h"
#include "headless/ServiceManager.h"
#include "recorder/Recorder.h"
#include "recorder/qt/RecorderPlatform.h"

namespace brisolant {

// The recorder with no window: it frames, records, keeps and retries, and reopens the port as
// the window does, and its log is the operator's screen.
class HeadlessProgram {
  public:
    // journalPath: where the journal of waiting scans is; empty beside the settings file.
    HeadlessProgram(SettingsPlace place, std::string journalPath, std::ostream& log,
                    ServiceManager& manager);
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    // Settings, port and writer; then the service manager hears that the program is ready, and
    // from then on that its event loop turns.
    void Start();
    // The port closes and the writer gets its few seconds; what still waits is logged, and
    // kept in the journal for the next start.
    void End();

    Recorder& recorder() { return recorder_; }

  private:
    void Run(const std::function<void()>& step);

    ServiceManager& manager_;
    SystemClock clock_;
    ConsoleLog log_;
    QtEventPump pump_;
    NoPrompt prompt_;
    RecorderPlatform platform_;
    Recorder recorder_;
    QTimer alive_;
};

}  // namespace brisolant
