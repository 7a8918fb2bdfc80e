#include "store/DatabaseDelivery.h"

namespace brisolant {

DatabaseDelivery::DatabaseDelivery(std::unique_ptr<DatabaseSession> session)
    : session_(std::move(session)) {}

bool DatabaseDelivery::SetTarget(DatabaseTarget target) {
    if (target == target_) {
        return false;
    }
    target_ = std::move(target);
    session_->Close();
    learned_ = false;
    pause_ = std::chrono::seconds(0);
    const bool hadBatch = batch_.has_value();
    batch_.reset();
    return hadBatch;
}

DeliveryReport DatabaseDelivery::Attempt() {
    DeliveryReport report;
    if (!session_->IsOpen()) {
        if (DatabaseError error = session_->Open(target_.connection)) {
            return Fail(report, *error);
        }
        std::uint64_t lastSeq = 0;
        if (DatabaseError error = session_->LastSeq(target_.station, lastSeq)) {
            return Fail(report, *error);
        }
        report.lastSeq = lastSeq;
        report.station = target_.station;
        learned_ = true;
    }
    pause_ = std::chrono::seconds(0);
    if (!batch_) {
        return report;
    }
    if (DatabaseError error = session_->Insert(batch_->records)) {
        return Fail(report, *error);
    }
    report.committedEntry = batch_->lastEntry;
    report.delivered = batch_->records.size();
    batch_.reset();
    return report;
}

DeliveryReport DatabaseDelivery::Fail(DeliveryReport report, std::string why) {
    session_->Close();
    pause_ = pause_ == std::chrono::seconds(0) ? kFirstPause : std::min(pause_ * 2, kLongestPause);
    report.trouble = std::move(why);
    return report;
}

}  // namespace brisolant
