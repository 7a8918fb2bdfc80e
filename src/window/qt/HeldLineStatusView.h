#pragma once

#include <QObject>
#include <cstdint>
#include <optional>
#include <string>

#include "device/LineStatusView.h"

namespace brisolant {

// The line's status on its way to the window. While a step of the recorder runs (a read from
// the port, the test scan, a command) the light and panel 1 take only the state they end in: a
// read turns them red and "Receiving Data", and the scan it completes turns them back to green
// and "Waiting Idle", which used to have them drawn again, unchanged, at every scan. A scan that
// arrives over several reads still shows red and "Receiving Data" after each read that leaves it
// unfinished. A window opened inside a step (the manual-entry prompt, a message box) has them
// shown as they stand first, as before. Everything else passes at once.
class HeldLineStatusView : public QObject, public LineStatusView {
  public:
    explicit HeldLineStatusView(LineStatusView& window);

    // Holds from here to the matching Release; holds nest, as a step's yield may run another.
    void Hold();
    void Release();

    void SetLightColour(std::uint32_t colour) override;
    void SetStatusText(const std::string& text) override;
    void SetConnectionText(const std::string& text) override { window_.SetConnectionText(text); }
    void SetDataReceivedText(const std::string& text) override {
        window_.SetDataReceivedText(text);
    }
    void SetErrorCount(std::int64_t count) override { window_.SetErrorCount(count); }

  private:
    void ShowHeld();

    LineStatusView& window_;
    int depth_ = 0;
    // The event loop the outermost hold began in; a deeper one that waits shows the window.
    int loopLevel_ = 0;
    std::optional<std::uint32_t> light_;
    std::optional<std::string> status_;
    std::optional<std::uint32_t> shownLight_;
    std::optional<std::string> shownStatus_;
};

}  // namespace brisolant
