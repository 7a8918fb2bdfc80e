#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Failure.h"

namespace brisolant {

// Colours of the status light, 0x00BBGGRR.
constexpr std::uint32_t kLightRed = 255;
constexpr std::uint32_t kLightGreen = 65280;
constexpr std::uint32_t kLightYellow = 65535;
// While the port is closed: nothing can arrive, so the light must not say all is well.
constexpr std::uint32_t kLightGrey = 0x808080;

// Panel 1 while nothing is happening on the line, and while a scan comes in.
inline constexpr const char* kIdleStatusText = "Status: Waiting Idle";
inline constexpr const char* kReceivingStatusText = "Status: Receiving Data";

// What panel 1 says, and what kind of news it is: the failure it reports, if any, and the
// priority of a log line that tells it.
struct PanelStatus {
    std::string text;
    LogPriority priority = LogPriority::Info;
    std::optional<FailureCode> failure;
};

// What the line's state shows the operator: the status light, status panels 1 and 3, the raw
// text received (lblDataReceived) and the count of discarded scans (lblErrors). Texts are in the
// program's 8-bit character set.
class LineStatusView {
  public:
    virtual ~LineStatusView() = default;
    virtual void SetLightColour(std::uint32_t colour) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Panel 1 with its kind; a window shows the text alone.
    virtual void SetStatus(const PanelStatus& status) { SetStatusText(status.text); }
    virtual void SetConnectionText(const std::string& text) = 0;
    virtual void SetDataReceivedText(const std::string& text) = 0;
    virtual void SetErrorCount(std::int64_t count) = 0;
};

// Lets pending window and port events run before going on.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void Yield() = 0;
};

}  // namespace brisolant
