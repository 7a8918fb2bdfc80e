#include "recorder/MetricsPacing.h"

namespace brisolant {

std::optional<MetricsPacing::Clock::duration> MetricsPacing::Changed(Clock::time_point now) {
    if (due_) {
        return std::nullopt;
    }
    due_ = true;
    if (!last_ || now - *last_ >= kLeast) {
        return Clock::duration::zero();
    }
    return *last_ + kLeast - now;
}

void MetricsPacing::Written(Clock::time_point now) {
    last_ = now;
    due_ = false;
}

}  // namespace brisolant
