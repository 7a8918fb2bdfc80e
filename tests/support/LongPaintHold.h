#pragma once

#include <QTimer>
#include <chrono>

#include "window/qt/ScanPaintGate.h"

namespace brisolant::test {

// The gate holds a scan's repaint for an hour instead of a frame, so that a disk slowed by
// other work on the machine does not split a test's paint in two.
inline void HoldPaintLong(ScanPaintGate& gate) {
    gate.findChild<QTimer*>("longestHold")->setInterval(std::chrono::hours(1));
}

}  // namespace brisolant::test
