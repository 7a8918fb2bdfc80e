#pragma once

#include <string>

#include "common/Clock.h"
#include "common/Failure.h"
#include "common/LocaleFormat.h"
#include "common/MainWindowState.h"
#include "common/MainWindowView.h"
#include "scan/FileLayer.h"
#include "scan/InlineRecordWriter.h"
#include "scan/RetryTimer.h"
#include "scan/ScanRecord.h"
#include "scan/ScanSink.h"
#include "scan/WriterNews.h"
#include "settings/Settings.h"

namespace brisolant {

// Turns one complete scan into a record line in the data file and shows it in the window.
class ScanProcessor : public ScanSink {
  public:
    ScanProcessor(MainWindowState& state, MainWindowView& view, InputPrompt& prompt,
                  const Settings& settings, const Clock& clock, const LocaleFormat& locale,
                  FileLayer& files, RetryTimer& retryTimer);

    // Every failure of its steps is caught and shown in status panel 1; returns whether the
    // record was written. A scan whose data file cannot take it waits with the others.
    bool ProcessScan(std::string& text) override;

    // Takes the scans the journal at `path` keeps from an earlier run and writes them out.
    void OpenJournal(const std::string& path);
    // The settings name the data folder: waiting scans go there from now on. Returns true when
    // the scans that waited are now written.
    bool SetDestination();
    // Tries again to write the waiting scans (the retry timer's tick). Panel 1 shows the
    // failure and the count while any wait. Returns true when this call wrote the last of them,
    // so that the caller can say all is well if nothing else is amiss.
    bool WriteWaitingScans();
    std::size_t WaitingCount() const { return writer_.Count(); }
    // The program ends: keeps what waits in the journal. Returns how many could not be kept.
    std::size_t KeepWaitingScans() { return writer_.KeepAll(); }

  private:
    void ProcessSteps(const std::string& text);
    void ShowRecord(const ScanRecord& record);
    void Record(std::string line);
    bool TakeNews(bool showWaiting = true);
    void CountWrittenRecord(const WrittenRecord& record);

    MainWindowState& state_;
    MainWindowView& view_;
    InputPrompt& prompt_;
    const Settings& settings_;
    const Clock& clock_;
    const LocaleFormat& locale_;
    InlineRecordWriter writer_;
    WriterStatus status_;          // the writer's, as last told
    std::uint64_t submitted_ = 0;  // scans handed to the writer
    std::size_t outstanding_ = 0;  // scans not yet in their files, as far as is known
};

}  // namespace brisolant
