#include "scan/InlineRecordWriter.h"

#include "scan/DataFileAppender.h"

namespace brisolant {

InlineRecordWriter::InlineRecordWriter(FileLayer& files, const Clock& clock, RetryTimer& timer)
    : files_(files), timer_(timer), store_(files, clock) {}

void InlineRecordWriter::OpenJournal(const std::string& path) {
    store_.OpenJournal(path);
    Drive();
}

void InlineRecordWriter::SetDestination(Destination destination) {
    store_.SetDestination(std::move(destination));
    Drive();
}

void InlineRecordWriter::Submit(std::string fileName, std::string line) {
    (void)store_.Add(std::move(fileName), std::move(line));
    Drive();
}

void InlineRecordWriter::Retry() {
    store_.RetryDue();
    Drive();
}

void InlineRecordWriter::Drive() {
    while (std::optional<AppendTask> task = store_.NextTask()) {
        store_.TaskDone(RunAppendTask(*task, files_, [this](std::size_t first, std::uint64_t at) {
            return store_.BeginWrite(first, at);
        }));
    }
    if (store_.WaitingForRetry()) {
        timer_.Start();
    } else {
        timer_.Stop();
    }
}

}  // namespace brisolant
