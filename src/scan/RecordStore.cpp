#include "scan/RecordStore.h"

#include <cstdio>
#include <utility>

namespace brisolant {

namespace {

// ".damaged-20261210-191500": when the damage was found, so that a second one keeps its own.
std::string DamagedSuffix(const LocalDateTime& now, int attempt) {
    char text[48];
    std::snprintf(text, sizeof text, ".damaged-%04d%02d%02d-%02d%02d%02d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    return attempt == 0 ? text : std::string(text) + "-" + std::to_string(attempt);
}

std::string Entries(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

}  // namespace

RecordStore::RecordStore(FileLayer& files, const Clock& clock) : files_(files), clock_(clock) {}

void RecordStore::OpenJournal(const std::string& path) {
    RecordJournal journal(files_, path);
    JournalContents contents;
    try {
        contents = journal.Load(kLimit);
    } catch (const Failure& failure) {
        // Writing to it now could bury the scans it holds: the ones kept from now on live in
        // memory only, and the operator is told.
        journal_unusable_ = failure;
        news_.notices.push_back(failure);
        return;
    }
    journal_.emplace(std::move(journal));
    std::deque<Queued> kept;
    for (JournalScan& scan : contents.waiting) {
        kept.push_back(
            {scan.seq, std::move(scan.fileName), std::move(scan.line), std::move(scan.place)});
    }
    journaled_ = kept.size();
    queue_.insert(queue_.begin(), std::make_move_iterator(kept.begin()),
                  std::make_move_iterator(kept.end()));
    next_seq_ = contents.lastSeq + 1;
    if (contents.damaged > 0 || contents.overLimit > 0 || contents.earlierFormat) {
        RewriteAfterDamage(contents);
    }
    Report();
}

// The damaged journal is kept aside for whoever wants to look at it, and the journal is written
// afresh from the entries that were whole, so that new records never follow a damaged one.
void RecordStore::RewriteAfterDamage(const JournalContents& contents) {
    std::string detail;
    if (contents.damaged > 0 || contents.overLimit > 0) {
        detail = journal_->path() + ": ";
        if (contents.damaged > 0) {
            detail += Entries(contents.damaged) + " damaged and lost";
        }
        if (contents.overLimit > 0) {
            detail += (contents.damaged > 0 ? "; " : "") + Entries(contents.overLimit) +
                      " beyond the limit of " + std::to_string(kLimit) + " not taken";
        }
        const LocalDateTime now = clock_.Now();
        std::optional<Failure> notKept;
        for (int attempt = 0; attempt < 10; ++attempt) {
            try {
                detail += "; the journal as it was is kept as " +
                          journal_->KeepAside(DamagedSuffix(now, attempt));
                notKept.reset();
                break;
            } catch (const Failure& failure) {
                notKept = failure;
            }
        }
        if (notKept) {
            detail += "; it could not be kept aside: " + notKept->description();
        }
    }
    std::string records;
    for (std::size_t i = 0; i < journaled_; ++i) {
        records += ScanRecordText(queue_[i].seq, queue_[i].fileName, queue_[i].line);
        if (queue_[i].place) {
            records += PlaceRecordText(queue_[i].seq, *queue_[i].place);
        }
    }
    try {
        journal_->Rewrite(records);
    } catch (const Failure& failure) {
        // New records then follow the damage, and the next start skips it again.
        journal_failure_ = failure;
    }
    if (!detail.empty()) {
        news_.notices.push_back(Failure(FailureCode::JournalDamaged, detail));
    }
}

void RecordStore::SetDestination(Destination destination) {
    if (destination_ && destination_->folder != destination.folder) {
        own_ends_.clear();
    }
    destination_ = std::move(destination);
}

bool RecordStore::Add(std::string fileName, std::string line) {
    if (queue_.size() >= kLimit) {
        return false;
    }
    queue_.push_back({0, std::move(fileName), std::move(line), std::nullopt});
    ++received_;
    if (retry_pending_) {
        // Each new scan is a chance that the folder is back.
        retry_due_ = true;
    }
    if (retry_pending_ || journal_arrivals_) {
        JournalQueue();
    }
    Report();
    return true;
}

std::optional<AppendTask> RecordStore::NextTask() {
    if (busy_ || queue_.empty() || !destination_ || (retry_pending_ && !retry_due_)) {
        return std::nullopt;
    }
    retry_due_ = false;
    AppendTask task;
    task.folder = destination_->folder;
    task.createFolder = destination_->createFolder;
    task.fileName = queue_.front().fileName;
    std::size_t bytes = 0;
    for (const Queued& scan : queue_) {
        if (scan.fileName != task.fileName || task.items.size() == kTaskLines ||
            bytes >= kTaskBytes) {
            break;
        }
        task.items.push_back({scan.line + "\r\n", scan.place});
        bytes += task.items.back().bytes.size();
    }
    task_path_ = task.Path();
    task.checkTail = true;
    if (const auto end = own_ends_.find(task_path_); end != own_ends_.end()) {
        task.ownEnd = end->second;
    }
    task_items_ = task.items.size();
    task_begun_.reset();
    busy_ = true;
    return task;
}

bool RecordStore::BeginWrite(std::size_t first, std::uint64_t offset) {
    task_begun_.emplace(first, offset);
    std::string records;
    std::uint64_t at = offset;
    for (std::size_t i = first; i < task_items_; ++i) {
        if (i < journaled_) {
            queue_[i].place = LinePlace{task_path_, at};
            records += PlaceRecordText(queue_[i].seq, *queue_[i].place);
        }
        at += queue_[i].line.size() + 2;
    }
    return records.empty() || Persist(records);
}

void RecordStore::TaskRunsLong() {
    journal_arrivals_ = true;
    JournalQueue();
    Report();
}

void RecordStore::TaskSlow(const Failure& why) {
    cause_ = why;
    TaskRunsLong();
}

void RecordStore::TaskDone(const AppendOutcome& outcome) {
    busy_ = false;
    if (outcome.end) {
        own_ends_[task_path_] = *outcome.end;
    } else {
        own_ends_.erase(task_path_);
    }
    if (outcome.failure && outcome.bytesLeft) {
        // What the failed write left can be taken back later only if the journal knows it.
        SetPlacesFromBegin();
    }
    const std::size_t done = outcome.alreadyThere + outcome.appended;
    std::uint64_t at = outcome.appendOffset.value_or(0);
    for (std::size_t i = 0; i < done; ++i) {
        const Queued& scan = queue_[i];
        if (i < outcome.alreadyThere) {
            news_.written.push_back({scan.place->path, scan.line, scan.place->offset});
        } else {
            news_.written.push_back({task_path_, scan.line, at});
            at += scan.line.size() + 2;
        }
    }
    const std::size_t journaledDone = std::min(done, journaled_);
    const std::uint64_t lastDone = journaledDone > 0 ? queue_[journaledDone - 1].seq : 0;
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(done));
    journaled_ -= journaledDone;
    MarkDone(lastDone);
    journal_arrivals_ = false;
    task_begun_.reset();
    if (outcome.failure) {
        const bool notMarked =
            outcome.failure->code() == FailureCode::JournalMark && journal_failure_;
        cause_ = notMarked ? Failure(FailureCode::JournalMark, journal_failure_->description())
                           : *outcome.failure;
        retry_pending_ = true;
        JournalQueue();
    } else {
        cause_.reset();
        journal_failure_.reset();
        retry_pending_ = false;
    }
    Report();
}

std::size_t RecordStore::KeepAll() {
    JournalQueue();
    return queue_.size() - journaled_;
}

WriterNews RecordStore::TakeNews() {
    news_.queued = queue_.size();
    news_.received = received_;
    return std::exchange(news_, {});
}

// Every scan not yet in the journal goes in, in order, with the place its write began where one
// is running, so that a crash can neither lose it nor, once the write completes, double it.
void RecordStore::JournalQueue() {
    if (journaled_ == queue_.size()) {
        return;
    }
    if (busy_ && task_begun_) {
        SetPlacesFromBegin();
    }
    std::string records;
    std::uint64_t seq = next_seq_;
    for (std::size_t i = journaled_; i < queue_.size(); ++i, ++seq) {
        records += ScanRecordText(seq, queue_[i].fileName, queue_[i].line);
        if (queue_[i].place) {
            records += PlaceRecordText(seq, *queue_[i].place);
        }
    }
    // Numbers in the file only grow, even when these records did not make it.
    const std::uint64_t first = std::exchange(next_seq_, seq);
    if (!Persist(records)) {
        return;
    }
    for (std::size_t i = journaled_; i < queue_.size(); ++i) {
        queue_[i].seq = first + (i - journaled_);
    }
    journaled_ = queue_.size();
}

// The places of the running task's items from the first one written on.
void RecordStore::SetPlacesFromBegin() {
    const auto [first, offset] = *task_begun_;
    std::uint64_t at = offset;
    for (std::size_t i = first; i < task_items_ && i < queue_.size(); ++i) {
        queue_[i].place = LinePlace{task_path_, at};
        at += queue_[i].line.size() + 2;
    }
}

bool RecordStore::Persist(const std::string& records) {
    if (!journal_) {
        // A store without a journal (none was opened) keeps its scans in memory, silently.
        if (journal_unusable_) {
            journal_failure_ = Failure(FailureCode::JournalWrite, journal_unusable_->description());
        }
        return false;
    }
    try {
        journal_->Append(records);
        journal_failure_.reset();
        return true;
    } catch (const Failure& failure) {
        journal_failure_ = failure;
        return false;
    }
}

// Written scans leave the journal. Should that fail, the places recorded before their writes
// still prove them written at the next start.
void RecordStore::MarkDone(std::uint64_t lastSeq) {
    if (lastSeq == 0 || !journal_) {
        return;
    }
    try {
        if (journaled_ == 0) {
            journal_->Clear();
        } else {
            journal_->Append(DoneRecordText(lastSeq));
        }
    } catch (const Failure&) {
    }
}

void RecordStore::Report() {
    WriterStatus status{queue_.size(), cause_, journal_failure_};
    const bool wasTroubled = reported_ && reported_->Troubled();
    if (!status.Troubled() && !wasTroubled) {
        return;
    }
    if (reported_ && SameStatus(*reported_, status)) {
        return;
    }
    reported_ = status;
    news_.status = std::move(status);
}

}  // namespace brisolant
