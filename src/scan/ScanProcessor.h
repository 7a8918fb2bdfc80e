#pragma once

#include <string>

#include "common/Clock.h"
#include "common/LocaleFormat.h"
#include "common/MainWindowState.h"
#include "common/MainWindowView.h"
#include "scan/ScanRecord.h"
#include "scan/ScanSink.h"
#include "settings/Settings.h"

namespace brisolant {

// Turns one complete scan into a record line in the data file and shows it in the window.
class ScanProcessor : public ScanSink {
  public:
    ScanProcessor(MainWindowState& state, MainWindowView& view, InputPrompt& prompt,
                  const Settings& settings, const Clock& clock, const LocaleFormat& locale);

    // Every failure of its steps is caught and shown in status panel 1; returns whether the
    // record was written.
    bool ProcessScan(std::string& text) override;

  private:
    void ProcessSteps(const std::string& text);
    void ShowRecord(const ScanRecord& record);
    void CountWrittenRecord(const std::string& line);

    MainWindowState& state_;
    MainWindowView& view_;
    InputPrompt& prompt_;
    const Settings& settings_;
    const Clock& clock_;
    const LocaleFormat& locale_;
};

}  // namespace brisolant
