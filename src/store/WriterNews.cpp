#include "store/WriterNews.h"

namespace brisolant {

namespace {

bool SameFailure(const std::optional<Failure>& a, const std::optional<Failure>& b) {
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a || (a->code() == b->code() && a->description() == b->description());
}

}  // namespace

bool SameStatus(const WriterStatus& a, const WriterStatus& b) {
    return a.waiting == b.waiting && SameFailure(a.cause, b.cause) &&
           SameFailure(a.journal, b.journal);
}

std::optional<Failure> StatusFailure(const WriterStatus& status) {
    const bool notMarked = status.cause && status.cause->code() == FailureCode::JournalMark;
    if (status.journal && !notMarked) {
        return status.journal->code() == FailureCode::JournalWrite
                   ? *status.journal
                   : Failure(FailureCode::JournalWrite, status.journal->description());
    }
    if (status.cause) {
        return Failure(FailureCode::ScansWaiting,
                       std::to_string(status.waiting) + " waiting; " + status.cause->description());
    }
    return std::nullopt;
}

bool DatabaseStatus::operator==(const DatabaseStatus& other) const {
    return waiting == other.waiting && delivered == other.delivered && reason == other.reason &&
           SameFailure(outbox, other.outbox);
}

std::optional<Failure> DatabaseFailure(const DatabaseStatus& status) {
    if (status.outbox) {
        return status.outbox;
    }
    if (status.reason && status.waiting > 0) {
        return Failure(FailureCode::DatabaseWaiting,
                       std::to_string(status.waiting) + "; " + *status.reason);
    }
    return std::nullopt;
}

void WriterNews::Append(WriterNews later) {
    written.insert(written.end(), std::make_move_iterator(later.written.begin()),
                   std::make_move_iterator(later.written.end()));
    notices.insert(notices.end(), std::make_move_iterator(later.notices.begin()),
                   std::make_move_iterator(later.notices.end()));
    if (later.status) {
        status = std::move(later.status);
    }
    if (later.database) {
        database = std::move(later.database);
    }
    queued = later.queued;
    received = later.received;
}

}  // namespace brisolant
