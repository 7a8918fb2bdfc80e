#include "store/DatabaseSink.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/PosixFile.h"
#include "store/OutboxFormat.h"

namespace brisolant {

namespace {

constexpr std::size_t kReadPiece = 64 * 1024;

std::string Records(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

// Reads an earlier program's outbox whole: it is read once, when the program is first started
// after an upgrade.
std::optional<std::string> ReadWhole(FileLayer& files, const std::string& path, int& error) {
    const int fd = files.OpenForRead(path, false);
    if (fd == -ENOENT) {
        return std::nullopt;
    }
    if (fd < 0) {
        error = -fd;
        return std::nullopt;
    }
    std::string text;
    std::string piece;
    do {
        error = files.ReadAt(fd, static_cast<off_t>(text.size()), kReadPiece, piece);
        text += piece;
    } while (error == 0 && !piece.empty());
    (void)files.Close(fd);
    return error == 0 ? std::optional(std::move(text)) : std::nullopt;
}

}  // namespace

DatabaseSink::DatabaseSink(FileLayer& files) : files_(files) {}

void DatabaseSink::Open(RecordJournal* journal, LogForDatabase found) {
    journal_ = journal;
    numbering_ = std::move(found.numbering);
    committed_ = found.committed;
    waiting_ = found.waiting.size();
    committed_at_ =
        found.waiting.empty() ? (journal_ ? journal_->Size() : 0) : found.waiting.front().at;
    read_at_ = committed_at_;
}

void DatabaseSink::TakeOutbox(const std::string& outboxPath, std::uint64_t firstSeq,
                              std::uint64_t& nextSeq) {
    int error = 0;
    const std::optional<std::string> text = ReadWhole(files_, outboxPath, error);
    if (!text) {
        if (error != 0) {
            notices_.push_back(
                Failure(FailureCode::DatabaseOutboxRead, SystemErrorText(outboxPath, error)));
        }
        return;
    }
    if (!journal_) {
        return;  // the records stay in the outbox until the log can take them
    }
    const OutboxIndex index = ParseOutbox(*text);
    std::string records;
    std::uint64_t seq = firstSeq;
    for (const CentralRecord& record : index.waiting) {
        records += TableScanRecordText(seq++, "", record);
    }
    if (!index.waiting.empty()) {
        numbering_ = Numbering{seq, index.nextSeq, index.waiting.back().station};
        records += NumberingRecordText(*numbering_);
    }
    try {
        const std::uint64_t at = journal_->Append(records);
        if (waiting_ == 0) {
            committed_at_ = read_at_ = at;
        }
        waiting_ += index.waiting.size();
        nextSeq = seq;
    } catch (const Failure& failure) {
        notices_.push_back(failure);
        return;
    }
    if (::unlink(outboxPath.c_str()) != 0 && errno != ENOENT) {
        notices_.push_back(Failure(FailureCode::DatabaseOutboxRead,
                                   SystemErrorText(outboxPath, errno) +
                                       "; its records are in the journal now and are sent once"));
    }
    if (index.damaged > 0) {
        notices_.push_back(Failure(FailureCode::DatabaseOutboxDamaged,
                                   outboxPath + ": " + std::to_string(index.damaged) +
                                       " damaged stretches skipped; the records in them are "
                                       "not delivered"));
    }
}

void DatabaseSink::SetTarget(DatabaseTarget target) {
    target_ = std::move(target);
}

bool DatabaseSink::NumberingKnown() const {
    return numbering_ && numbering_->station == target_.station;
}

std::optional<DeliveryBatch> DatabaseSink::NextBatch() {
    if (!Named() || handed_ || waiting_ == 0 || !NumberingKnown() || !journal_) {
        return std::nullopt;
    }
    DeliveryBatch batch;
    if (!ReadBatch(batch) || batch.records.empty()) {
        return std::nullopt;
    }
    return batch;
}

// Reads the records after the last one handed, up to a batch, from the log.
bool DatabaseSink::ReadBatch(DeliveryBatch& batch) {
    const int fd = files_.OpenForRead(journal_->path(), false);
    if (fd < 0) {
        log_failure_ = Failure(FailureCode::JournalRead, SystemErrorText(journal_->path(), -fd));
        return false;
    }
    std::string piece;
    std::uint64_t pieceAt = read_at_;
    std::uint64_t at = read_at_;
    std::size_t bytes = 0;
    int error = 0;
    const std::uint64_t end = journal_->Size();
    while (at < end && batch.records.size() < kBatch && bytes < kBatchBytes) {
        if (at - pieceAt >= piece.size() || piece.size() - (at - pieceAt) < 2) {
            pieceAt = at;
            error = files_.ReadAt(fd, static_cast<off_t>(at), kReadPiece, piece);
            if (error != 0 || piece.empty()) {
                break;
            }
        }
        LogRecord record;
        RecordRead read = ReadLogRecord(std::string_view(piece).substr(at - pieceAt), record);
        if (read == RecordRead::NeedMore && pieceAt != at) {
            pieceAt = at;
            error = files_.ReadAt(fd, static_cast<off_t>(at), 4 * JournalParser::kMaxRecord, piece);
            if (error != 0) {
                break;
            }
            read = ReadLogRecord(piece, record);
        }
        if (read != RecordRead::Whole) {
            // The file changed under the program: go on at the next line.
            const std::size_t lineEnd = piece.find('\n', at - pieceAt);
            if (lineEnd == std::string::npos) {
                break;
            }
            at = pieceAt + lineEnd + 1;
            continue;
        }
        at += record.length;
        if (record.letter != 'T' || record.seq <= committed_) {
            continue;
        }
        if (!Numbered(record.seq, record.central)) {
            --waiting_;
            continue;
        }
        bytes += record.central.line.size();
        batch.records.push_back(std::move(record.central));
        batch.lastEntry = record.seq;
    }
    (void)files_.Close(fd);
    if (error != 0) {
        log_failure_ = Failure(FailureCode::JournalRead, SystemErrorText(journal_->path(), error));
        return false;
    }
    log_failure_.reset();
    if (batch.records.empty() && at >= end) {
        waiting_ = 0;  // the log holds none of the records counted: it changed under the program
    }
    if (!batch.records.empty()) {
        handed_ = Handed{batch.lastEntry, at};
        read_at_ = at;
    }
    return true;
}

// Gives a record its station and number: the ones it came with, or the numbering's.
bool DatabaseSink::Numbered(std::uint64_t entry, CentralRecord& central) const {
    if (central.seq != 0) {
        return true;
    }
    if (entry < numbering_->from) {
        return false;
    }
    central.station = numbering_->station;
    central.seq = numbering_->NumberOf(entry);
    return true;
}

void DatabaseSink::Committed(std::uint64_t lastEntry, std::size_t count) {
    committed_ = std::max(committed_, lastEntry);
    waiting_ -= std::min(waiting_, count);
    if (handed_ && handed_->lastEntry == lastEntry) {
        committed_at_ = handed_->endAt;
        handed_.reset();
    }
    if (!journal_) {
        return;
    }
    try {
        // Not synced: should it be lost, the records are sent again, and the table skips them.
        journal_->Append(CommittedRecordText(committed_), false);
    } catch (const Failure& failure) {
        notices_.push_back(Failure(FailureCode::JournalDoneMark,
                                   failure.detail() + "; " + Records(count) +
                                       " the database holds are sent again at the next start"));
    }
}

void DatabaseSink::GivenBack() {
    handed_.reset();
    read_at_ = committed_at_;
}

void DatabaseSink::TableHolds(const std::string& station, std::uint64_t lastSeq,
                              std::uint64_t nextEntry) {
    if (station != target_.station || NumberingKnown() || !journal_) {
        return;
    }
    // Every record not yet committed is numbered from here, above what the table holds.
    const Numbering numbering{std::min(committed_ + 1, nextEntry), lastSeq + 1, station};
    try {
        journal_->Append(NumberingRecordText(numbering));
        numbering_ = numbering;
        log_failure_.reset();
    } catch (const Failure& failure) {
        log_failure_ = failure;
    }
}

std::optional<std::uint64_t> DatabaseSink::FirstWaitingAt() const {
    if (waiting_ == 0) {
        return std::nullopt;
    }
    return committed_at_;
}

std::string DatabaseSink::Trailer(std::uint64_t nextEntry) const {
    std::string trailer;
    if (numbering_) {
        Numbering numbering = *numbering_;
        // With nothing waiting, the numbering starts at the next entry, so that entry numbers
        // go on from there after the log is written afresh.
        if (waiting_ == 0 && nextEntry > numbering.from) {
            numbering.base = numbering.NumberOf(nextEntry);
            numbering.from = nextEntry;
        }
        trailer += NumberingRecordText(numbering);
    }
    if (committed_ > 0) {
        trailer += CommittedRecordText(committed_);
    }
    return trailer;
}

void DatabaseSink::Compacted(std::uint64_t from) {
    committed_at_ = committed_at_ > from ? committed_at_ - from : 0;
    read_at_ = read_at_ > from ? read_at_ - from : 0;
    if (handed_) {
        handed_->endAt = handed_->endAt > from ? handed_->endAt - from : 0;
    }
}

std::string OutboxPathFor(const std::string& journalPath) {
    constexpr std::string_view kJournalEnding = ".journal";
    std::string path = journalPath;
    if (path.ends_with(kJournalEnding)) {
        path.resize(path.size() - kJournalEnding.size());
    }
    return path + ".outbox";
}

}  // namespace brisolant
