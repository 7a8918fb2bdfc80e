#include "device/PortStatusView.h"

#include "common/Failure.h"

namespace brisolant {

namespace {

// A handler that reads the closed port (the Test command after a receive event) reports it
// as not open; the reason it is closed says more.
bool SaysPortNotOpen(const std::string& text) {
    static const std::string prefix =
        "Status: " + std::to_string(static_cast<int>(FailureCode::PortNotOpen)) + " ";
    return text.starts_with(prefix);
}

}  // namespace

void PortStatusView::SetPortFailure(std::optional<std::string> statusText) {
    port_failure_ = std::move(statusText);
}

void PortStatusView::SetPanelText(int panel, const std::string& text) {
    if (panel == 1 && port_failure_ && (text == "Status: Waiting Idle" || SaysPortNotOpen(text))) {
        window_.SetPanelText(1, *port_failure_);
        return;
    }
    window_.SetPanelText(panel, text);
}

// Red (receiving) is left by a test scan whose run then reads the closed port; nothing is
// being received either way.
void PortStatusView::SetLightColour(std::uint32_t colour) {
    window_.SetLightColour(port_failure_ ? kLightGrey : colour);
}

}  // namespace brisolant
