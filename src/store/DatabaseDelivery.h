#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "store/CentralRecord.h"
#include "store/DatabaseSession.h"

namespace brisolant {

// What one attempt at delivery came to.
struct DeliveryReport {
    std::optional<std::uint64_t> committedThrough;  // every record up to it is in the table
    std::size_t delivered = 0;                      // records committed by this attempt
    std::optional<std::uint64_t> lastSeq;           // the table's highest number for the station
    DatabaseError trouble;                          // why records still wait
};

// The delivery's side of the records for the site's database: it holds those handed to it, in
// order, and sends every one waiting in one statement, so that the server commits them together.
// It runs on a thread of its own with its own connection, so that a database that hangs holds
// up nothing else. After a failure it waits longer each time, 1 s doubling up to 30 s.
class DatabaseDelivery {
  public:
    // The most records one statement carries.
    static constexpr std::size_t kBatch = 10000;
    static constexpr std::chrono::seconds kFirstPause{1};
    static constexpr std::chrono::seconds kLongestPause{30};

    explicit DatabaseDelivery(std::unique_ptr<DatabaseSession> session);

    // A new connection or station: the next attempt connects afresh.
    void SetTarget(DatabaseTarget target);
    void Add(std::deque<CentralRecord> records);
    bool HasWork() const { return !target_.connection.empty() && !waiting_.empty(); }
    // Connects when needed and sends what waits.
    DeliveryReport Attempt();
    // How long to wait after the last attempt failed.
    std::chrono::seconds Pause() const { return pause_; }

  private:
    DeliveryReport Fail(DeliveryReport report, std::string why);

    std::unique_ptr<DatabaseSession> session_;
    DatabaseTarget target_;
    std::deque<CentralRecord> waiting_;
    std::chrono::seconds pause_{0};
};

}  // namespace brisolant
