#pragma once

#include <string>

#include "scan/RecordStore.h"
#include "scan/WriterNews.h"

namespace brisolant {

// The writer of record lines as the window's thread sees it: lines are handed over in order,
// and what became of them comes back as news.
class RecordWriter {
  public:
    virtual ~RecordWriter() = default;
    virtual void SetDestination(Destination destination) = 0;
    // Hands a finished record line over; it is written behind every line handed over before it.
    virtual void Submit(std::string fileName, std::string line) = 0;
    virtual WriterNews TakeNews() = 0;
};

}  // namespace brisolant
