#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "scan/FileLayer.h"
#include "scan/RetryTimer.h"
#include "scan/ScanJournal.h"
#include "scan/WaitingScan.h"

namespace brisolant {

// The scans whose record lines could not be appended, oldest first, kept in memory and in the
// journal until their data file takes them. While any wait, a new scan queues behind them, so
// that every data file keeps the order of arrival, and the retry timer runs.
class PendingScans {
  public:
    // A day at the station's full rate; beyond it new scans are refused, the kept ones stay.
    static constexpr std::size_t kLimit = 100000;

    PendingScans(FileLayer& files, RetryTimer& timer);

    // Takes the journal at `path` and the scans it holds, which wait ahead of any new one.
    // Throws Failure(JournalRead) when it cannot be read (nothing is taken) and
    // Failure(JournalDamaged) after taking the whole entries of a damaged one.
    void OpenJournal(const std::string& path);

    std::size_t Count() const { return waiting_.size(); }

    // Keeps a scan behind the others. Throws Failure(JournalFull) when kLimit scans wait (the
    // scan is not kept) and Failure(JournalWrite) when the journal cannot take it (the scan is
    // kept until the program ends).
    void Keep(WaitingScan scan);

    // Writes the waiting scans to their data files, oldest first, calling `written` for each
    // one that is in its file. Stops at the first that cannot be written and throws its Failure
    // (DataFileOpen, DataFileNotRegular, DataFileWrite); that scan and those behind it go on
    // waiting.
    void WriteOut(const std::function<void(const WaitingScan&)>& written);

  private:
    bool AlreadyInFile(const WaitingScan& scan);
    void TakeBackPartialLine(const std::string& path, std::size_t length);
    void WriteOldest();
    void RecordOldestWritten();
    void BringJournalInStep();

    FileLayer& files_;
    RetryTimer& timer_;
    std::optional<ScanJournal> journal_;
    std::deque<WaitingScan> waiting_;
    // The previous run may have died between writing its oldest scan and marking it written.
    bool check_oldest_ = false;
    // A change could not be made to the journal: it is written afresh at the next chance.
    bool journal_out_of_step_ = false;
    std::string unreadable_journal_;  // why the journal could not be read at start
};

}  // namespace brisolant
