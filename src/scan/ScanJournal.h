#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "scan/FileLayer.h"
#include "scan/WaitingScan.h"

namespace brisolant {

// The program's own file of scans waiting for their data file, so that they outlive the
// program's end and a crash. Every change is appended and synced: an entry for each scan kept,
// a mark for each scan written to its data file. Emptied once nothing waits.
class ScanJournal {
  public:
    ScanJournal(FileLayer& files, std::string path);

    struct Contents {
        std::deque<WaitingScan> waiting;  // oldest first
        bool damaged = false;             // a torn or unreadable tail was cut off
    };
    // The scans still waiting. A tail that is not a whole entry (a crash or power cut in the
    // middle of a write) is cut off the file; a missing journal holds nothing. Throws
    // Failure(JournalRead) when the file cannot be read.
    Contents Load();

    // Each throws Failure(JournalWrite) when the change cannot be made durable.
    void Add(const WaitingScan& scan);
    // The oldest waiting scan is in its data file.
    void MarkOldestWritten();
    void Clear();
    // Writes the journal afresh from the scans that wait, when it may have fallen out of step.
    void Rewrite(const std::deque<WaitingScan>& waiting);

    const std::string& path() const { return path_; }

  private:
    void Append(std::string_view bytes);
    void CutTo(std::size_t size);

    FileLayer& files_;
    std::string path_;
};

// The journal lives beside the settings file, named after it: "Orvane.ini" keeps its waiting
// scans in "Orvane.journal". Wherever the settings file is, the journal follows, away from the
// data folder whose loss it bridges.
std::string JournalPathFor(const std::string& settingsFile);

// One entry as the journal holds it, and the reading of a whole journal's text; exposed for
// tests. `validSize` receives the length of the text that holds whole entries and marks.
std::string JournalEntry(const WaitingScan& scan);
std::deque<WaitingScan> ReadJournalText(std::string_view text, std::size_t& validSize);

}  // namespace brisolant
