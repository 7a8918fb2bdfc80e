#pragma once

#include <QTimer>
#include <functional>

#include "scan/RetryTimer.h"

namespace brisolant {

// The retry timer on the window's event loop: ticks every two seconds while started.
class QtRetryTimer : public RetryTimer {
  public:
    static constexpr int kIntervalMs = 2000;

    explicit QtRetryTimer(std::function<void()> tick);

    // A running timer keeps its pace: scans arriving faster than it ticks do not hold it off.
    void Start() override;
    void Stop() override;

  private:
    QTimer timer_;
};

}  // namespace brisolant
