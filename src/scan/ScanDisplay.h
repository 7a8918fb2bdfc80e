#pragma once

#include <string>

#include "store/WriterNews.h"

namespace brisolant {

// What a scan shows the operator: the value boxes (txtData 0 to 11), the counter, status panel 2,
// the Data menu and, while the data view is on, the list. Texts are in the program's 8-bit
// character set.
class ScanDisplay {
  public:
    virtual ~ScanDisplay() = default;
    virtual void SetDataText(int index, const std::string& text) = 0;
    virtual void SetCounterText(const std::string& text) = 0;
    // Status panel 2: "File: " and the data file.
    virtual void SetFileText(const std::string& text) = 0;
    // mnuData: off until a record is written, and after the data view failed to read its file.
    virtual void SetDataMenuEnabled(bool enabled) = 0;
    // A record is on the disk: the list shows it at its end while the data view is on, unless
    // the list already holds it from its file.
    virtual void AppendListRecord(const WrittenRecord& record) = 0;
};

}  // namespace brisolant
