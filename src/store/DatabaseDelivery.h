#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "store/DatabaseSession.h"
#include "store/DatabaseSink.h"

namespace brisolant {

// What one attempt at delivery came to.
struct DeliveryReport {
    // The batch is committed: every record up to this log entry is in the table.
    std::optional<std::uint64_t> committedEntry;
    std::size_t delivered = 0;  // records committed by this attempt
    // The table's highest number for `station`, learned on connecting.
    std::optional<std::uint64_t> lastSeq;
    std::string station;
    bool givenBack = false;  // the batch was not sent: another connection or station came
    DatabaseError trouble;   // why records still wait
};

// The delivery's side of the records for the site's database: it holds the one batch the
// writer's thread handed it and sends it in one statement, so that the server commits its
// records together. On connecting it learns the table's highest number for the station, which
// the writer's thread needs before it numbers records. It runs on a thread of its own with its
// own connection, so that a database that hangs holds up nothing else. After a failure it waits
// longer each time, 1 s doubling up to 30 s.
class DatabaseDelivery {
  public:
    static constexpr std::chrono::seconds kFirstPause{1};
    static constexpr std::chrono::seconds kLongestPause{30};

    explicit DatabaseDelivery(std::unique_ptr<DatabaseSession> session);

    // A new connection or station: the next attempt connects afresh, and a batch not yet sent
    // is given back (true).
    bool SetTarget(DatabaseTarget target);
    void Take(DeliveryBatch batch) { batch_ = std::move(batch); }
    bool HasBatch() const { return batch_.has_value(); }
    bool HasWork() const { return !target_.connection.empty() && (batch_ || !learned_); }
    // Connects when needed and sends the batch.
    DeliveryReport Attempt();
    // How long to wait after the last attempt failed.
    std::chrono::seconds Pause() const { return pause_; }

  private:
    DeliveryReport Fail(DeliveryReport report, std::string why);

    std::unique_ptr<DatabaseSession> session_;
    DatabaseTarget target_;
    std::optional<DeliveryBatch> batch_;
    bool learned_ = false;  // the table's highest number is known for this target
    std::chrono::seconds pause_{0};
};

}  // namespace brisolant
