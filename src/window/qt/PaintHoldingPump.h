#pragma once

#include "device/LineStatusView.h"
#include "window/qt/HeldRepaint.h"

class QWidget;

namespace brisolant {

// The receive handler's yield for the main window: the port's and the operator's pending events
// run, nested, as in the plain yield, but the window's repaint waits until the outermost yield
// is over. A scan that arrives in one read is then drawn once, as it ends, not once half-way
// (red, "Receiving Data") and again at its end. A repaint asked for meanwhile is asked for again
// afterwards, so a scan that arrives over several reads is still seen red while it arrives.
// A modal window opened meanwhile (the manual-entry prompt, a message box) runs an event loop
// of its own, in which the main window repaints as usual.
class PaintHoldingPump : public EventPump {
  public:
    PaintHoldingPump(QWidget& window, EventPump& plain);

    void Yield() override;

  private:
    HeldRepaint repaint_;
    EventPump& plain_;
    int depth_ = 0;
};

}  // namespace brisolant
