#include "support/InlineRecordWriter.h"

#include "store/DataFileAppender.h"

namespace brisolant::test {

InlineRecordWriter::InlineRecordWriter(FileLayer& files, const Clock& clock)
    : files_(files), store_(files, clock) {}

void InlineRecordWriter::Start(const std::string& journalPath) {
    store_.OpenJournal(journalPath);
    Drive();
}

void InlineRecordWriter::SetDestination(Destination destination) {
    store_.SetDestination(std::move(destination));
    Drive();
}

void InlineRecordWriter::Submit(std::string fileName, std::string line,
                                std::optional<CentralRecord> record) {
    if (record) {
        central.push_back(std::move(*record));
    }
    (void)store_.Add(std::move(fileName), std::move(line));
    Drive();
}

StopOutcome InlineRecordWriter::Stop(std::chrono::milliseconds) {
    const std::size_t unkept = store_.KeepAll();
    return {store_.Count(), unkept};
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
    if (newsWaiting) {
        newsWaiting();
    }
}

}  // namespace brisolant::test
