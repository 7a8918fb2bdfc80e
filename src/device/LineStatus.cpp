#include "device/LineStatus.h"

#include <utility>

namespace brisolant {

LineStatus::LineStatus(LineStatusView& view) : view_(view) {}

void LineStatus::SetLightColour(std::uint32_t colour) {
    light_ = colour;
    // Red (receiving) is left by a test scan whose run then reads the closed port; nothing is
    // being received either way.
    view_.SetLightColour(port_closed_ ? kLightGrey : colour);
}

void LineStatus::ShowText(const std::string& text, LogPriority priority) {
    idle_ = false;
    view_.SetStatus({text, priority, std::nullopt});
}

void LineStatus::ShowFailure(const Failure& failure) {
    idle_ = false;
    const std::optional<Failure>& closed = port_closed_;
    // A handler that reads the closed port (the Test command after a receive event) reports it
    // as not open; the reason it is closed says more.
    const bool saysNotOpen = failure.code() == FailureCode::PortNotOpen;
    ShowStatus(closed && saysNotOpen ? *closed : failure);
}

void LineStatus::ShowStatus(const Failure& failure) {
    view_.SetStatus({StatusText(failure), FailurePriority(failure.code()), failure.code()});
}

void LineStatus::ShowIdle() {
    idle_ = true;
    if (const std::optional<Failure>& closed = port_closed_) {
        ShowStatus(*closed);
    } else if (writer_trouble_) {
        ShowStatus(*writer_trouble_);
    } else {
        view_.SetStatus({kIdleStatusText, LogPriority::Info, std::nullopt});
    }
}

void LineStatus::ShowConnection(const std::string& lineSettings) {
    view_.SetConnectionText("Connecton: " + lineSettings);
}

void LineStatus::CountDiscarded(int scans) {
    discarded_ += scans;
    view_.SetErrorCount(discarded_);
}

void LineStatus::SetPortClosed(std::optional<Failure> why) {
    port_closed_ = std::move(why);
    SetLightColour(light_);
}

void LineStatus::SetWriterTrouble(std::optional<Failure> trouble) {
    writer_trouble_ = std::move(trouble);
    if (idle_) {
        ShowIdle();
    }
}

}  // namespace brisolant
