#include "store/DatabaseDelivery.h"

#include <algorithm>
#include <vector>

namespace brisolant {

DatabaseDelivery::DatabaseDelivery(std::unique_ptr<DatabaseSession> session)
    : session_(std::move(session)) {}

void DatabaseDelivery::SetTarget(DatabaseTarget target) {
    if (target == target_) {
        return;
    }
    target_ = std::move(target);
    session_->Close();
    pause_ = std::chrono::seconds(0);
}

void DatabaseDelivery::Add(std::deque<CentralRecord> records) {
    waiting_.insert(waiting_.end(), std::make_move_iterator(records.begin()),
                    std::make_move_iterator(records.end()));
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
    }
    const std::size_t count = std::min(waiting_.size(), kBatch);
    if (count == 0) {
        pause_ = std::chrono::seconds(0);
        return report;
    }
    std::vector<CentralRecord> batch(waiting_.begin(),
                                     waiting_.begin() + static_cast<std::ptrdiff_t>(count));
    if (DatabaseError error = session_->Insert(batch)) {
        return Fail(report, *error);
    }
    report.committedThrough = batch.back().seq;
    report.delivered = count;
    waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(count));
    pause_ = std::chrono::seconds(0);
    return report;
}

DeliveryReport DatabaseDelivery::Fail(DeliveryReport report, std::string why) {
    session_->Close();
    pause_ = pause_ == std::chrono::seconds(0) ? kFirstPause : std::min(pause_ * 2, kLongestPause);
    report.trouble = std::move(why);
    return report;
}

}  // namespace brisolant
