#pragma once

#include <QTimer>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "device/qt/QtEventPump.h"
#include "headless/ConsoleLog.h"
#include "headless/LogStyle.h"
#include "headless/ServiceManager.h"
#include "recorder/Recorder.h"
#include "recorder/qt/MetricsWriter.h"
#include "recorder/qt/RecorderPlatform.h"

namespace brisolant {

// What a run without a window is given besides its settings.
struct HeadlessSetup {
    std::string journalPath;  // the journal of waiting scans; empty: beside the settings file
    std::string metricsFile;  // the metrics file for the site's monitoring; empty: none
    std::string version;      // the program's, for the log and the metrics
    LogStyle style;           // how the log's lines are laid out
};

// The recorder with no window: it frames, records, keeps and retries, and reopens the port as
// the window does, and its log is the operator's screen.
class HeadlessProgram {
  public:
    HeadlessProgram(SettingsPlace place, HeadlessSetup setup, std::ostream& log,
                    ServiceManager& manager);
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    // Settings, port and writer, and one line that says what this run works with; then the
    // service manager hears that the program is ready, and from then on that its event loop and
    // its writer turn.
    void Start();
    // The service manager hears that the program stops; the port closes and the writer gets its
    // few seconds; one line says what is kept in the journal for the next start.
    void End();

    Recorder& recorder() { return recorder_; }

  private:
    void Run(const std::function<void()>& step);
    void Alive();

    ServiceManager& manager_;
    SettingsPlace place_;
    HeadlessSetup setup_;
    SystemClock clock_;
    ConsoleLog log_;
    QtEventPump pump_;
    NoPrompt prompt_;
    RecorderPlatform platform_;
    Recorder recorder_;
    std::optional<MetricsWriter> metrics_;
    QTimer alive_;
    // The log's summary of a repeated fault comes due with time, not only with the next status;
    // it runs only while a fault is in the summary.
    QTimer summary_;
    bool writer_silent_ = false;
};

}  // namespace brisolant
