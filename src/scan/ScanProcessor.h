#pragma once

#include <string>

#include "common/Clock.h"
#include "common/LocaleFormat.h"
#include "scan/InputPrompt.h"
#include "scan/ScanDisplay.h"
#include "scan/ScanRecord.h"
#include "settings/Settings.h"
#include "store/CentralRecord.h"

namespace brisolant {

// A scan's record line and the data file it belongs to, ready to be written.
struct FinishedRecord {
    std::string fileName;
    std::string line;
    CentralRecord central;  // the same scan for the site's database
};

// Turns one complete scan into its record line: names the day's data file, stamps the date and
// time, reads and converts the values, shows them, and asks for the operator's text when the
// settings say so.
class ScanProcessor {
  public:
    ScanProcessor(ScanDisplay& display, InputPrompt& prompt, const Settings& settings,
                  const Clock& clock, const LocaleFormat& locale);

    // Throws Failure when the scan cannot be read or its file can have no name; the values are
    // shown once they are read, whatever comes after.
    FinishedRecord Process(const std::string& text);

    // The current data file's name, without folder; set at the start of every scan.
    const std::string& DataFileName() const { return data_file_name_; }

  private:
    void ShowRecord(const ScanRecord& record);

    ScanDisplay& display_;
    InputPrompt& prompt_;
    const Settings& settings_;
    const Clock& clock_;
    const LocaleFormat& locale_;
    std::string data_file_name_;
};

}  // namespace brisolant
