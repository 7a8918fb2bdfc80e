#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/LineStatusView.h"

namespace brisolant {

// Panel 1's changes as lines of a log that a person can read during an outage. A fault that
// comes again and again (a junk flood drops hundreds of blocks a second; a missing data folder
// fails every scan) is told at once the first time, then at most once a minute with how many
// times it came; panel 1's return to idle after it is told once, when the calm has held. Panel
// 1 itself, the metrics and the counts are not summarised: only the log's lines are.
class StatusSummary {
  public:
    using Time = std::chrono::steady_clock::time_point;
    // A fault told once is told again, with its count, after this long.
    static constexpr std::chrono::seconds kWindow{60};
    // Idle after a fault is told once no fault has come for this long.
    static constexpr std::chrono::seconds kSettle{10};

    struct Line {
        LogPriority priority;
        std::string text;
        bool operator==(const Line&) const = default;
    };

    // Panel 1 now shows `status`: the lines to write now.
    std::vector<Line> Show(const PanelStatus& status, Time now);
    // Time has passed: the lines that are due (a count whose minute is up, calm that held).
    std::vector<Line> Tick(Time now);
    // Whether a line may come due with time alone: a fault seen within the last minute, or idle
    // after it not yet told.
    bool Pending() const { return !episodes_.empty() || calm_.has_value(); }
    // The program ends: every count not yet told.
    std::vector<Line> Flush();

  private:
    // One fault, from its first line until a minute passes without it.
    struct Episode {
        std::string key;  // its failure's number, or its text
        PanelStatus latest;
        Time windowStart;
        Time lastSeen;
        std::uint64_t uncounted = 0;  // times it came since its last line
    };

    void ShowFault(const PanelStatus& status, Time now, std::vector<Line>& lines);
    void ShowCalm(const PanelStatus& status, Time now, std::vector<Line>& lines);
    void Write(Line line, std::vector<Line>& lines);
    static Line CountLine(const Episode& episode);

    std::vector<Episode> episodes_;
    std::string written_;              // panel 1's text in the last line written for it
    std::optional<PanelStatus> calm_;  // calm shown since a fault, not yet told
    Time calmSince_{};
};

// "29,446": a count as a person reads it in the log.
std::string GroupedCount(std::uint64_t count);

}  // namespace brisolant
