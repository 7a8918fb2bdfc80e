#include "headless/StatusSummary.h"

#include <algorithm>

namespace brisolant {

namespace {

std::string KeyOf(const PanelStatus& status) {
    return status.failure ? std::to_string(static_cast<int>(*status.failure)) : status.text;
}

bool IsFault(const PanelStatus& status) {
    return status.priority != LogPriority::Info;
}

}  // namespace

std::vector<StatusSummary::Line> StatusSummary::Show(const PanelStatus& status, Time now) {
    std::vector<Line> lines = Tick(now);
    if (IsFault(status)) {
        ShowFault(status, now, lines);
    } else {
        ShowCalm(status, now, lines);
    }
    return lines;
}

void StatusSummary::ShowFault(const PanelStatus& status, Time now, std::vector<Line>& lines) {
    calm_.reset();
    const std::string key = KeyOf(status);
    const auto episode = std::ranges::find(episodes_, key, &Episode::key);
    if (episode == episodes_.end()) {
        episodes_.push_back({key, status, now, now, 0});
        Write({status.priority, status.text}, lines);
        return;
    }
    episode->latest = status;
    episode->lastSeen = now;
    ++episode->uncounted;
    if (now - episode->windowStart >= kWindow) {
        Write(CountLine(*episode), lines);
        episode->windowStart = now;
        episode->uncounted = 0;
    }
}

// Idle after a fault waits until it has held: between the blocks of a flood panel 1 may be idle
// for a moment each time. Other news (a modem line's change) is told at once.
void StatusSummary::ShowCalm(const PanelStatus& status, Time now, std::vector<Line>& lines) {
    if (status.text == written_) {
        calm_.reset();
    } else if (episodes_.empty() || status.text != kIdleStatusText) {
        Write({status.priority, status.text}, lines);
    } else if (!calm_ || calm_->text != status.text) {
        calm_ = status;
        calmSince_ = now;
    }
}

std::vector<StatusSummary::Line> StatusSummary::Tick(Time now) {
    std::vector<Line> lines;
    const bool calmHeld = calm_ && now - calmSince_ >= kSettle;
    for (Episode& episode : episodes_) {
        // The fault's last count comes before the calm that ends it.
        if (episode.uncounted > 0 && (calmHeld || now - episode.windowStart >= kWindow)) {
            Write(CountLine(episode), lines);
            episode.windowStart = now;
            episode.uncounted = 0;
        }
    }
    if (calmHeld) {
        Write({calm_->priority, calm_->text}, lines);
        calm_.reset();
    }
    std::erase_if(episodes_, [&](const Episode& episode) {
        return episode.uncounted == 0 && now - episode.lastSeen >= kWindow;
    });
    return lines;
}

std::vector<StatusSummary::Line> StatusSummary::Flush() {
    std::vector<Line> lines;
    for (Episode& episode : episodes_) {
        if (episode.uncounted > 0) {
            Write(CountLine(episode), lines);
            episode.uncounted = 0;
        }
    }
    return lines;
}

void StatusSummary::Write(Line line, std::vector<Line>& lines) {
    written_ = line.text;
    lines.push_back(std::move(line));
}

StatusSummary::Line StatusSummary::CountLine(const Episode& episode) {
    const std::uint64_t times = episode.uncounted;
    return {episode.latest.priority, episode.latest.text + " (" + GroupedCount(times) +
                                         (times == 1 ? " time" : " times") +
                                         " in the last minute)"};
}

std::string GroupedCount(std::uint64_t count) {
    std::string digits = std::to_string(count);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    }
    return digits;
}

}  // namespace brisolant
