#include "scan/PendingScans.h"

#include <cerrno>
#include <system_error>

#include "common/Failure.h"
#include "scan/DataFile.h"

namespace brisolant {

PendingScans::PendingScans(FileLayer& files, RetryTimer& timer) : files_(files), timer_(timer) {}

void PendingScans::OpenJournal(const std::string& path) {
    ScanJournal journal(files_, path);
    ScanJournal::Contents contents;
    try {
        contents = journal.Load();
    } catch (const Failure& failure) {
        // Writing to it now could bury the scans it holds: the ones kept from now on live in
        // memory only, and each says so.
        unreadable_journal_ = failure.description();
        throw;
    }
    journal_.emplace(std::move(journal));
    for (WaitingScan& scan : contents.waiting) {
        waiting_.push_back(std::move(scan));
    }
    check_oldest_ = !contents.waiting.empty();
    if (!waiting_.empty()) {
        timer_.Start();
    }
    if (contents.damaged) {
        throw Failure(FailureCode::JournalDamaged, path);
    }
}

void PendingScans::Keep(WaitingScan scan) {
    if (waiting_.size() >= kLimit) {
        throw Failure(FailureCode::JournalFull);
    }
    waiting_.push_back(std::move(scan));
    timer_.Start();
    if (!unreadable_journal_.empty()) {
        throw Failure(FailureCode::JournalWrite, unreadable_journal_);
    }
    if (!journal_) {
        return;
    }
    try {
        if (journal_out_of_step_) {
            BringJournalInStep();
        } else {
            journal_->Add(waiting_.back());
        }
    } catch (const Failure&) {
        journal_out_of_step_ = true;
        throw;
    }
}

void PendingScans::WriteOut(const std::function<void(const WaitingScan&)>& written) {
    while (!waiting_.empty()) {
        WriteOldest();
        const WaitingScan scan = std::move(waiting_.front());
        waiting_.pop_front();
        RecordOldestWritten();
        written(scan);
    }
    timer_.Stop();
}

// The previous run may have ended between writing the oldest scan and marking it written: a line
// that already ends its data file is not written twice, and a part of it cut off by a crash is
// taken back before the whole line goes in.
bool PendingScans::AlreadyInFile(const WaitingScan& scan) {
    const std::string path = scan.folder + scan.fileName;
    const std::string expected = scan.line + "\r\n";
    std::string tail;
    const int error = files_.ReadTail(path, expected.size() + 1, tail);
    if (error == ENOENT) {
        return false;
    }
    if (error != 0) {
        // The folder is not back yet: decide once it is.
        throw Failure(FailureCode::DataFileOpen,
                      path + ": " + std::generic_category().message(error));
    }
    if (tail.ends_with(expected)) {
        return true;
    }
    const std::size_t lineEnd = tail.rfind('\n');
    const std::string partial = lineEnd == std::string::npos ? tail : tail.substr(lineEnd + 1);
    if (!partial.empty() && partial.size() < expected.size() && expected.starts_with(partial)) {
        TakeBackPartialLine(path, partial.size());
    }
    return false;
}

void PendingScans::TakeBackPartialLine(const std::string& path, std::size_t length) {
    const int fd = files_.OpenForAppend(path, false);
    if (fd < 0) {
        throw Failure(FailureCode::DataFileOpen,
                      path + ": " + std::generic_category().message(-fd));
    }
    const off_t size = files_.Size(fd);
    int error = size < 0 ? static_cast<int>(-size) : 0;
    if (error == 0) {
        error = files_.Truncate(fd, size - static_cast<off_t>(length));
    }
    if (error == 0) {
        error = files_.SyncData(fd);
    }
    (void)files_.Close(fd);
    if (error != 0) {
        throw Failure(FailureCode::DataFileWrite,
                      path + ": " + std::generic_category().message(error));
    }
}

void PendingScans::WriteOldest() {
    const WaitingScan& oldest = waiting_.front();
    if (!(check_oldest_ && AlreadyInFile(oldest))) {
        AppendRecordLine(oldest.folder, oldest.fileName, oldest.line, files_);
    }
    check_oldest_ = false;
}

// The scan is in its file whatever the journal says; a journal that cannot follow is written
// afresh at the next chance and meanwhile reported by the next scan kept.
void PendingScans::RecordOldestWritten() {
    if (!journal_) {
        return;
    }
    try {
        if (journal_out_of_step_) {
            BringJournalInStep();
        } else if (waiting_.empty()) {
            journal_->Clear();
        } else {
            journal_->MarkOldestWritten();
        }
    } catch (const Failure&) {
        journal_out_of_step_ = true;
    }
}

void PendingScans::BringJournalInStep() {
    journal_->Rewrite(waiting_);
    journal_out_of_step_ = false;
}

}  // namespace brisolant
