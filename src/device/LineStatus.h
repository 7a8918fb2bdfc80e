#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "device/LineStatusView.h"

namespace brisolant {

// Panel 1, the light, the raw text and the discarded-scan count, with the rule that nothing says
// all is well while it is not: "idle" shows why the port is closed, or why scans wait for their
// data file, before "Status: Waiting Idle", and the light is grey while the port is closed.
class LineStatus {
  public:
    explicit LineStatus(LineStatusView& view);

    void SetLightColour(std::uint32_t colour);
    // Panel 1 as it stands: a line event, "Status: Receiving Data", "Not getting Correct Data".
    void ShowText(const std::string& text, LogPriority priority = LogPriority::Info);
    // "Status: " + number + " " + description. A port that is not open says why it is closed.
    void ShowFailure(const Failure& failure);
    // Nothing is happening on the line.
    void ShowIdle();
    void ShowDataReceived(const std::string& text) { view_.SetDataReceivedText(text); }
    void ShowConnection(const std::string& lineSettings);
    // Scans were discarded.
    void CountDiscarded(int scans);
    std::int64_t Discarded() const { return discarded_; }

    // The port closed for `why`, or opened (nothing): the light follows, and so does "idle". The
    // port keeper tells it; the panel keeps it only to show it.
    void SetPortClosed(std::optional<Failure> why);
    // Why scans wait for their data file (none once they are written).
    void SetWriterTrouble(std::optional<Failure> trouble);
    const std::optional<Failure>& WriterTrouble() const { return writer_trouble_; }

  private:
    void ShowStatus(const Failure& failure);

    LineStatusView& view_;
    std::optional<Failure> port_closed_;
    std::optional<Failure> writer_trouble_;
    bool idle_ = false;  // panel 1 shows what idle shows
    std::uint32_t light_ = kLightGreen;
    std::int64_t discarded_ = 0;
};

}  // namespace brisolant
