#include "store/DatabaseOutbox.h"

#include <cerrno>

#include "common/PosixFile.h"
#include "store/OutboxFormat.h"
#include "store/WholeAppend.h"

namespace brisolant {

namespace {

constexpr std::size_t kReadPiece = 64 * 1024;

}  // namespace

DatabaseOutbox::DatabaseOutbox(FileLayer& files, std::string path)
    : files_(files), path_(std::move(path)) {}

std::deque<CentralRecord> DatabaseOutbox::Open() {
    const int fd = files_.OpenForRead(path_, false);
    std::string text;
    if (fd != -ENOENT) {
        if (fd < 0) {
            throw Failure(FailureCode::DatabaseOutboxRead, SystemErrorText(path_, -fd));
        }
        std::string piece;
        int error = 0;
        do {
            error = files_.ReadAt(fd, static_cast<off_t>(text.size()), kReadPiece, piece);
            text += piece;
        } while (error == 0 && !piece.empty());
        (void)files_.Close(fd);
        if (error != 0) {
            throw Failure(FailureCode::DatabaseOutboxRead, SystemErrorText(path_, error));
        }
    }
    OutboxIndex index = ParseOutbox(text);
    usable_ = true;
    size_ = text.size();
    next_seq_ = index.nextSeq;
    for (const CentralRecord& record : index.waiting) {
        waiting_.push_back(record.seq);
    }
    if (index.damaged > 0) {
        std::string detail = path_ + ": " + std::to_string(index.damaged) +
                             (index.damaged == 1 ? " damaged stretch" : " damaged stretches") +
                             " skipped; the records in it are not delivered";
        // New records must not follow the damage, or the next start would skip them with it.
        try {
            WriteAfresh(index.waiting);
        } catch (const Failure& failure) {
            detail += "; " + failure.description();
        }
        notices_.push_back(Failure(FailureCode::DatabaseOutboxDamaged, detail));
    }
    return std::move(index.waiting);
}

void DatabaseOutbox::Keep(std::vector<CentralRecord>& records) {
    std::string text;
    for (CentralRecord& record : records) {
        record.seq = next_seq_++;
        waiting_.push_back(record.seq);
        text += OutboxRecordText(record);
    }
    if (!usable_) {
        throw Failure(FailureCode::DatabaseOutboxWrite, path_);
    }
    Append(text, true);
}

void DatabaseOutbox::Committed(std::uint64_t seq) {
    while (!waiting_.empty() && waiting_.front() <= seq) {
        waiting_.pop_front();
    }
    if (!usable_) {
        return;
    }
    if (waiting_.empty() && size_ > kCompactAfter) {
        WriteAfresh({});
    } else {
        Append(OutboxCommittedText(seq), false);
    }
}

void DatabaseOutbox::NumberAbove(std::uint64_t seq) {
    if (seq >= next_seq_) {
        next_seq_ = seq + 1;
    }
}

void DatabaseOutbox::Append(const std::string& records, bool sync) {
    off_t before = 0;
    if (const int error = AppendWhole(files_, path_, records, sync, before)) {
        throw Failure(FailureCode::DatabaseOutboxWrite, SystemErrorText(path_, error));
    }
    size_ = static_cast<std::uint64_t>(before) + records.size();
}

// The file holds the next number and the records still waiting, at one stroke.
void DatabaseOutbox::WriteAfresh(const std::deque<CentralRecord>& waiting) {
    std::string text = OutboxNextText(next_seq_);
    for (const CentralRecord& record : waiting) {
        text += OutboxRecordText(record);
    }
    bool handed = false;
    const int error = files_.ReplaceFile(path_, [&](std::string& piece) {
        piece = handed ? std::string() : text;
        handed = true;
        return 0;
    });
    if (error != 0) {
        throw Failure(FailureCode::DatabaseOutboxWrite, SystemErrorText(path_, error));
    }
    size_ = text.size();
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
