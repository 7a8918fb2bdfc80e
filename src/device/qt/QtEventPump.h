#pragma once

#include "device/LineStatusView.h"

namespace brisolant {

// Runs the window's and the port's pending events, nested, before the caller goes on.
class QtEventPump : public EventPump {
  public:
    void Yield() override;
};

}  // namespace brisolant
