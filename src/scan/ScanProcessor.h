#pragma once

#include <string>

#include "common/Clock.h"
#include "common/Failure.h"
#include "common/LocaleFormat.h"
#include "common/MainWindowState.h"
#include "common/MainWindowView.h"
#include "scan/FileLayer.h"
#include "scan/PendingScans.h"
#include "scan/RetryTimer.h"
#include "scan/ScanRecord.h"
#include "scan/ScanSink.h"
#include "scan/WaitingScan.h"
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
    // Tries again to write the waiting scans (the retry timer's tick). Panel 1 shows the
    // failure and the count while any wait. Returns true when this call wrote the last of them,
    // so that the caller can say all is well if nothing else is amiss.
    bool WriteWaitingScans();
    std::size_t WaitingCount() const { return pending_.Count(); }

  private:
    void ProcessSteps(const std::string& text);
    void ShowRecord(const ScanRecord& record);
    void Record(WaitingScan scan);
    [[noreturn]] void KeepWaiting(WaitingScan scan, const Failure& cause);
    void CountWrittenRecord(const WaitingScan& scan);
    Failure WaitingFailure(const Failure& cause) const;

    MainWindowState& state_;
    MainWindowView& view_;
    InputPrompt& prompt_;
    const Settings& settings_;
    const Clock& clock_;
    const LocaleFormat& locale_;
    FileLayer& files_;
    PendingScans pending_;
};

}  // namespace brisolant
