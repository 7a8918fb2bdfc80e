#pragma once

#include <chrono>
#include <optional>

namespace brisolant {

// When the metrics file is written: at once for a change when the last write is a second old,
// else a second after that write, so that a flood of scans costs one write a second; and at
// least once a minute without a change, so that a file left unchanged for longer tells of a
// program that no longer runs.
class MetricsPacing {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kLeast{1000};
    static constexpr std::chrono::milliseconds kRefresh{60000};

    // Something changed at `now`: how long to wait before writing (zero: now). Nothing when a
    // write is already due for an earlier change.
    std::optional<Clock::duration> Changed(Clock::time_point now);
    // The file was written at `now`.
    void Written(Clock::time_point now);

  private:
    std::optional<Clock::time_point> last_;
    bool due_ = false;
};

}  // namespace brisolant
