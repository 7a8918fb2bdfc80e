#include "store/RecordStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

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

RecordStore::RecordStore(FileLayer& files, const Clock& clock, std::size_t taskLines)
    : files_(files), clock_(clock), task_lines_(taskLines) {}

LogForDatabase RecordStore::OpenJournal(const std::string& path) {
    RecordJournal journal(files_, path);
    JournalIndex index;
    try {
        index = journal.Load(kLimit);
    } catch (const Failure& failure) {
        // Writing to it now could bury the scans it holds: the ones kept from now on live in
        // memory only, and the operator is told.
        journal_unusable_ = failure;
        news_.notices.push_back(failure);
        return {};
    }
    journal_.emplace(std::move(journal));
    std::deque<Queued> kept;
    for (const JournalEntry& entry : index.waiting) {
        kept.push_back({entry.seq, entry.at, nullptr});
    }
    journaled_ = kept.size();
    queue_.insert(queue_.begin(), std::make_move_iterator(kept.begin()),
                  std::make_move_iterator(kept.end()));
    kept_places_ = std::move(index.places);
    next_seq_ = index.lastSeq + 1;
    LogForDatabase forDatabase{std::move(index.forDatabase), index.committed,
                               std::move(index.numbering)};
    if (index.damaged > 0 || index.overLimit > 0 || index.earlierFormat) {
        RewriteAfterDamage(index, forDatabase);
    } else if (index.tornTail) {
        try {
            journal_->CutTornTail(index.wholeEnd);
        } catch (const Failure& failure) {
            journal_failure_ = failure;
        }
    }
    Report();
    return forDatabase;
}

// The damaged journal is kept aside for whoever wants to look at it, and the journal is written
// afresh from the entries that were whole, so that new records never follow a damaged one.
void RecordStore::RewriteAfterDamage(const JournalIndex& index, LogForDatabase& forDatabase) {
    std::string detail;
    if (index.damaged > 0 || index.overLimit > 0) {
        detail = journal_->path() + ": ";
        if (index.damaged > 0) {
            detail += Entries(index.damaged) + " damaged and lost";
        }
        if (index.overLimit > 0) {
            detail += (index.damaged > 0 ? "; " : "") + Entries(index.overLimit) +
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
    // New records then follow the damage, and the next start skips it again.
    journal_failure_ = RewriteJournal(forDatabase);
    if (!detail.empty()) {
        news_.notices.push_back(Failure(FailureCode::JournalDamaged, detail));
    }
}

// Writes the journal afresh from its kept scans and the records still waiting for the database,
// read back a window at a time, and moves their entries to where they now begin; the numbering
// and what the database committed follow them. Returns why it could not.
std::optional<Failure> RecordStore::RewriteJournal(LogForDatabase& forDatabase) {
    // Both lists in the journal's order: a scan may wait for its file, the database, or both.
    struct Live {
        JournalEntry entry;
        std::uint64_t* fileAt = nullptr;
        std::uint64_t* databaseAt = nullptr;
    };
    std::vector<Live> live;
    std::size_t f = 0;
    auto d = forDatabase.waiting.begin();
    while (f < journaled_ || d != forDatabase.waiting.end()) {
        const bool fileFirst =
            f < journaled_ && (d == forDatabase.waiting.end() || queue_[f].seq <= d->seq);
        const bool both = fileFirst && d != forDatabase.waiting.end() && queue_[f].seq == d->seq;
        if (fileFirst) {
            live.push_back({{queue_[f].seq, queue_[f].at}, &queue_[f].at, both ? &d->at : nullptr});
            ++f;
            d += both ? 1 : 0;
        } else {
            live.push_back({*d, nullptr, &d->at});
            ++d;
        }
    }
    std::vector<std::uint64_t> newAt;
    newAt.reserve(live.size());
    std::uint64_t written = 0;
    std::optional<Failure> readFailure;
    std::size_t next = 0;
    bool trailerGiven = false;
    try {
        journal_->Rewrite([&](std::string& piece) {
            piece.clear();
            if (next == live.size()) {
                if (!trailerGiven && forDatabase.numbering) {
                    piece += NumberingRecordText(*forDatabase.numbering);
                }
                if (!trailerGiven && forDatabase.committed > 0) {
                    piece += CommittedRecordText(forDatabase.committed);
                }
                trailerGiven = true;
                return 0;
            }
            std::vector<JournalEntry> window;
            const std::size_t first = next;
            for (; next < live.size() && window.size() < task_lines_; ++next) {
                window.push_back(live[next].entry);
            }
            try {
                const std::vector<std::optional<JournalScan>> scans = journal_->ReadBack(window);
                for (std::size_t i = 0; i < window.size(); ++i) {
                    if (!scans[i]) {
                        // Read whole a moment ago: the file changed under the program.
                        throw Failure(FailureCode::JournalRead, journal_->path());
                    }
                    const Live& entry = live[first + i];
                    const JournalScan& scan = *scans[i];
                    newAt.push_back(written + piece.size());
                    const std::string fileName = entry.fileAt ? scan.fileName : std::string();
                    piece += scan.central
                                 ? TableScanRecordText(window[i].seq, fileName, *scan.central)
                                 : ScanRecordText(window[i].seq, fileName, scan.line);
                    const auto place = kept_places_.find(window[i].seq);
                    if (entry.fileAt && place != kept_places_.end()) {
                        piece += PlaceRecordText(window[i].seq, place->second);
                    }
                }
            } catch (const Failure& failure) {
                readFailure = failure;
                return EIO;
            }
            written += piece.size();
            return 0;
        });
    } catch (const Failure& failure) {
        return readFailure ? readFailure : failure;
    }
    for (std::size_t i = 0; i < live.size(); ++i) {
        for (std::uint64_t* at : {live[i].fileAt, live[i].databaseAt}) {
            if (at != nullptr) {
                *at = newAt[i];
            }
        }
    }
    return std::nullopt;
}

void RecordStore::SetDestination(Destination destination) {
    if (destination_ && destination_->folder != destination.folder) {
        own_ends_.clear();
    }
    destination_ = std::move(destination);
}

bool RecordStore::Add(std::string fileName, std::string line, std::optional<CentralRecord> central,
                      bool more) {
    if (queue_.size() >= kLimit) {
        return false;
    }
    if (central) {
        central->line = line;
    }
    queue_.push_back({0, 0,
                      std::make_unique<ScanText>(
                          ScanText{std::move(fileName), std::move(line), {}, std::move(central)})});
    ++received_;
    if (retry_pending_) {
        // Each new scan is a chance that the folder is back.
        retry_due_ = true;
    }
    if (!more) {
        KeepArrivals();
    }
    return true;
}

void RecordStore::KeepArrivals() {
    if (retry_pending_ || journal_arrivals_) {
        JournalQueue();
    }
    Report();
}

std::optional<AppendTask> RecordStore::NextTask() {
    if (busy_ || queue_.empty() || !destination_ || (retry_pending_ && !retry_due_)) {
        return std::nullopt;
    }
    retry_due_ = false;
    if (!ReadBackNext() || queue_.empty()) {
        return std::nullopt;
    }
    AppendTask task;
    task.folder = destination_->folder;
    task.createFolder = destination_->createFolder;
    task.fileName = queue_.front().text->fileName;
    std::size_t bytes = 0;
    for (const Queued& scan : queue_) {
        if (task.items.size() == task_lines_ || scan.text->fileName != task.fileName ||
            bytes >= kTaskBytes) {
            break;
        }
        task.items.push_back({scan.text->line + "\r\n", scan.text->place});
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
    // Everything the task writes goes into the log first, with where it will be, in one sync.
    const std::size_t logged = log_everything_ ? task_items_ : journaled_;
    std::string records;
    std::uint64_t at = offset;
    for (std::size_t i = first; i < task_items_; ++i) {
        ScanText& text = *queue_[i].text;
        if (i < logged) {
            text.place = LinePlace{task_path_, at};
        }
        if (i < journaled_) {
            records += PlaceRecordText(queue_[i].seq, *text.place);
        }
        at += text.line.size() + 2;
    }
    if (logged > journaled_) {
        const std::size_t placesEnd = records.size();
        records += EntriesText(logged, next_seq_);
        const std::uint64_t firstSeq = std::exchange(next_seq_, next_seq_ + logged - journaled_);
        if (const std::optional<std::uint64_t> begin = Persist(records)) {
            Journaled(logged, firstSeq, *begin + placesEnd);
            return true;
        }
        // The log cannot be written: the lines still go to their files, unless a scan of the
        // task is in the log already and its place could not be recorded.
        for (std::size_t i = journaled_; i < logged; ++i) {
            ScanText& text = *queue_[i].text;
            text.place.reset();
            unlogged_table_entries_ += text.central ? 1 : 0;
            text.central.reset();
        }
        return placesEnd == 0;
    }
    return records.empty() || Persist(records).has_value();
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
        const ScanText& scan = *queue_[i].text;
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
    MarkDone(lastDone, journaledDone);
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

// Every scan not yet in the journal up to `upTo` goes in, in order, with the place its write
// began where one is running, so that a crash can neither lose it nor, once the write
// completes, double it.
void RecordStore::JournalQueue(std::size_t upTo) {
    if (journaled_ >= upTo) {
        return;
    }
    if (busy_ && task_begun_) {
        SetPlacesFromBegin();
    }
    const std::string records = EntriesText(upTo, next_seq_);
    // Numbers in the file only grow, even when these records did not make it.
    const std::uint64_t first = std::exchange(next_seq_, next_seq_ + upTo - journaled_);
    if (const std::optional<std::uint64_t> offset = Persist(records)) {
        Journaled(upTo, first, *offset);
    }
}

// The entries of the scans from the first not in the journal up to `upTo`, numbered from
// `firstSeq`; each scan's `at` is set to where its entry begins in the text.
std::string RecordStore::EntriesText(std::size_t upTo, std::uint64_t firstSeq) {
    std::string records;
    std::uint64_t seq = firstSeq;
    for (std::size_t i = journaled_; i < upTo; ++i, ++seq) {
        const ScanText& text = *queue_[i].text;
        queue_[i].at = records.size();
        records += text.central ? TableScanRecordText(seq, text.fileName, *text.central)
                                : ScanRecordText(seq, text.fileName, text.line);
        if (text.place) {
            records += PlaceRecordText(seq, *text.place);
        }
    }
    return records;
}

// The entries made by EntriesText are in the journal from `offset` on.
void RecordStore::Journaled(std::size_t upTo, std::uint64_t firstSeq, std::uint64_t offset) {
    for (std::size_t i = journaled_; i < upTo; ++i) {
        queue_[i].seq = firstSeq + (i - journaled_);
        queue_[i].at += offset;
        if (queue_[i].text->central) {
            ++new_table_entries_;
            queue_[i].text->central.reset();
        }
    }
    ReleaseTexts(std::exchange(journaled_, upTo));
}

std::optional<std::uint64_t> RecordStore::FirstWaitingAt() const {
    if (journaled_ == 0) {
        return std::nullopt;
    }
    return queue_.front().at;
}

void RecordStore::JournalCompacted(std::uint64_t from) {
    for (std::size_t i = 0; i < journaled_; ++i) {
        queue_[i].at -= from;
    }
}

// The texts of journaled scans from `from` on that are not among the next to be written live in
// the journal alone.
void RecordStore::ReleaseTexts(std::size_t from) {
    for (std::size_t i = std::max(from, task_lines_); i < journaled_; ++i) {
        if (!queue_[i].text->place) {
            queue_[i].text.reset();
        }
    }
}

// The texts of the next scans to be written, read back from the journal where it alone holds
// them. False when the journal cannot be read: the scans wait for the retry.
bool RecordStore::ReadBackNext() {
    std::vector<JournalEntry> wanted;
    const std::size_t window = std::min(queue_.size(), task_lines_);
    for (std::size_t i = 0; i < window; ++i) {
        if (!queue_[i].text) {
            wanted.push_back({queue_[i].seq, queue_[i].at});
        }
    }
    if (wanted.empty()) {
        return true;
    }
    std::vector<std::optional<JournalScan>> scans;
    try {
        scans = journal_->ReadBack(wanted);
    } catch (const Failure& failure) {
        cause_ = failure;
        retry_pending_ = true;
        Report();
        return false;
    }
    std::size_t unreadable = 0;
    for (std::size_t i = 0, k = 0; i < window; ++i) {
        if (queue_[i].text) {
            continue;
        }
        std::optional<JournalScan>& scan = scans[k++];
        if (!scan) {
            ++unreadable;
            continue;
        }
        auto text = std::make_unique<ScanText>(
            ScanText{std::move(scan->fileName), std::move(scan->line), std::nullopt, std::nullopt});
        if (auto place = kept_places_.extract(queue_[i].seq)) {
            text->place = std::move(place.mapped());
        }
        queue_[i].text = std::move(text);
    }
    DropUnreadable(unreadable);
    return true;
}

// Scans whose records the journal no longer holds whole (the file changed under the program)
// cannot be written: they leave the queue, and the operator is told.
void RecordStore::DropUnreadable(std::size_t count) {
    if (count == 0) {
        return;
    }
    const auto window =
        queue_.begin() + static_cast<std::ptrdiff_t>(std::min(queue_.size(), task_lines_));
    queue_.erase(
        std::remove_if(queue_.begin(), window, [](const Queued& scan) { return !scan.text; }),
        window);
    journaled_ -= count;
    news_.notices.push_back(
        Failure(FailureCode::JournalDamaged,
                journal_->path() + ": " + Entries(count) + " damaged and lost"));
}

// The places of the running task's items from the first one written on.
void RecordStore::SetPlacesFromBegin() {
    const auto [first, offset] = *task_begun_;
    std::uint64_t at = offset;
    for (std::size_t i = first; i < task_items_ && i < queue_.size(); ++i) {
        ScanText& text = *queue_[i].text;
        text.place = LinePlace{task_path_, at};
        at += text.line.size() + 2;
    }
}

std::optional<std::uint64_t> RecordStore::Persist(const std::string& records) {
    if (!journal_) {
        // A store without a journal (none was opened) keeps its scans in memory, silently.
        if (journal_unusable_) {
            journal_failure_ = Failure(FailureCode::JournalWrite, journal_unusable_->description());
        }
        return std::nullopt;
    }
    try {
        const std::uint64_t offset = journal_->Append(records);
        journal_failure_.reset();
        return offset;
    } catch (const Failure& failure) {
        journal_failure_ = failure;
        return std::nullopt;
    }
}

// Written scans leave the journal. The mark needs no sync: should it be lost, or fail, the
// places recorded before their writes still prove them written at the next start; the operator
// is told of a failure, with how many this run has left marked as waiting. A journal that is
// the station's log is kept: what it holds for the database is the database's side to let go.
void RecordStore::MarkDone(std::uint64_t lastSeq, std::size_t count) {
    if (lastSeq == 0 || !journal_) {
        return;
    }
    try {
        if (journaled_ == 0 && !keep_journal_) {
            journal_->Clear();
        } else {
            journal_->Append(DoneRecordText(lastSeq), false);
        }
    } catch (const Failure& failure) {
        unmarked_ += count;
        news_.notices.push_back(
            Failure(FailureCode::JournalDoneMark,
                    failure.detail() + "; " + std::to_string(unmarked_) + " in this run"));
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
