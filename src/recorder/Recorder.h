#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Failure.h"
#include "common/LocaleFormat.h"
#include "common/MessagePresenter.h"
#include "device/CommHandler.h"
#include "device/CommPort.h"
#include "device/LineStatus.h"
#include "device/LineStatusView.h"
#include "device/PortKeeper.h"
#include "device/PortWatch.h"
#include "recorder/RecorderFigures.h"
#include "recorder/ScanCounter.h"
#include "scan/InputPrompt.h"
#include "scan/ScanDisplay.h"
#include "scan/ScanProcessor.h"
#include "scan/ScanSink.h"
#include "settings/Settings.h"
#include "settings/SettingsPlace.h"
#include "store/RecordWriter.h"

namespace brisolant {

// What the recorder reaches the outside world through.
struct RecorderServices {
    ScanDisplay& scans;
    LineStatusView& line;
    CommPort& comm;
    PortWatch& portWatch;  // runs only while the port is closed
    EventPump& pump;
    InputPrompt& prompt;
    MessagePresenter& messages;  // the settings file's messages
    const Clock& clock;
    LocaleFormat locale;
    SettingsPlace place;  // where the settings file and the default data folder are
    RecordWriter& writer;
    std::string journalPath;  // empty: beside the settings file
};

// Records the station's scans: owns the settings, the receive handler, the scan processor, the
// port and the counter, and hands each finished record line to the writer, which reports back
// once it is on the disk. A window is one view of it; a program without one is another.
// docs/architecture.md follows one scan through it, from the port to the disk and back.
class Recorder : public ScanSink {
  public:
    // How long the writer may take, as the program ends, to write what waits.
    static constexpr std::chrono::seconds kEndPatience{3};

    explicit Recorder(RecorderServices services);

    // The start: settings, port and panels; Data menu off, light green, counter 0; then the
    // writer, which writes what an earlier run kept first.
    void Start();
    // Reloads the settings, names the data folder to the writer and reopens the port.
    void LoadSettingsAndOpenPort();
    // Gives the writer up to `patience` to write what waits; the rest stays in the journal.
    StopOutcome Stop(std::chrono::milliseconds patience);

    // The port reported an event.
    void Comm_OnComm() { handler_.Comm_OnComm(); }
    void InjectTestScan() { handler_.InjectTestScan(); }
    // The port failed outside any handler run (an adapter unplugged) and is closed.
    void PortFailed(const Failure& failure) { keeper_.Lost(failure); }
    // The port watch fired: the device may be back.
    void PortMayBeBack() { keeper_.TryReopen(); }
    // The writer has news: written records count, and panel 1 says why scans wait.
    void TakeWriterNews();
    // A new shift: the counter starts at 0, and the scans still waiting to be written, which
    // arrived before, will not count in it.
    void ResetCounter();
    // A failure of one of the window's own commands, shown in panel 1.
    void ShowFailure(const Failure& failure) { status_.ShowFailure(failure); }

    std::optional<Failure> ProcessScan(std::string& text) override;

    const Settings& settings() const { return settings_; }
    const std::string& DataFileName() const { return processor_.DataFileName(); }
    const ScanCounter& Counter() const { return counter_; }
    // Record lines were handed to the writer that it has not reported written yet.
    bool RecordsOnTheirWay() const { return outstanding_ > 0; }
    const ReceiveState& Reception() const { return handler_.State(); }
    // The figures for the site's monitoring.
    RecorderFigures Figures() const;
    // Records waiting for the site's database and those it committed in this run, as the
    // writer last told them.
    const DatabaseStatus& Database() const { return database_status_; }

  private:
    void Record(FinishedRecord record);
    void CountWritten(const std::vector<WrittenRecord>& records);

    // Each member is built from the ones above it only.
    RecorderServices services_;
    Settings settings_;
    LineStatus status_;
    ScanProcessor processor_;
    CommHandler handler_;
    PortKeeper keeper_;
    WriterStatus writer_status_;
    DatabaseStatus database_status_;
    ScanCounter counter_;
    std::uint64_t submitted_ = 0;  // record lines handed to the writer
    std::size_t outstanding_ = 0;  // of those and the journal's, the ones not yet written
    // Of the records still to be reported written, the first ones arrived before the counter
    // was reset: they belong to the shift before it and do not count.
    std::size_t before_reset_ = 0;
    std::uint64_t recorded_ = 0;  // records written since the start, whatever the shift
};

}  // namespace brisolant
