#pragma once

#include <string>

#include "common/Clock.h"
#include "scan/FileLayer.h"
#include "scan/RecordStore.h"
#include "scan/RecordWriter.h"
#include "scan/RetryTimer.h"

namespace brisolant {

// A writer that does the disk work on the caller's thread, before each call returns; the retry
// timer asks for another try while scans wait.
class InlineRecordWriter : public RecordWriter {
  public:
    InlineRecordWriter(FileLayer& files, const Clock& clock, RetryTimer& timer);

    void OpenJournal(const std::string& path);
    void SetDestination(Destination destination) override;
    void Submit(std::string fileName, std::string line) override;
    WriterNews TakeNews() override { return store_.TakeNews(); }
    // The retry timer ticked.
    void Retry();
    std::size_t Count() const { return store_.Count(); }
    // Keeps in the journal what is not written; returns how many scans could not be kept.
    std::size_t KeepAll() { return store_.KeepAll(); }

  private:
    void Drive();

    FileLayer& files_;
    RetryTimer& timer_;
    RecordStore store_;
};

}  // namespace brisolant
