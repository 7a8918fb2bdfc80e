#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

#include "window/qt/HeldRepaint.h"

class QWidget;

namespace brisolant {

// Holds the window's repaint while a scan's record is on its way to the disk, for at most one
// frame of the screen: the writer reports a synced record within a few milliseconds, so the
// scan's values, the light, the panels and the counter, which moves only once the record is
// on the disk, reach the screen in one paint instead of two. A slow disk holds nothing longer
// than the frame. A window opened meanwhile (a message box, the manual-entry prompt) ends the
// hold, as its own event loop draws the main window.
class ScanPaintGate : public QObject {
  public:
    // A frame at 60 Hz: nobody sees the values come later by that.
    static constexpr std::chrono::milliseconds kLongestHold{16};

    explicit ScanPaintGate(QWidget& window);

    // A record is on its way: the next repaint waits, up to kLongestHold from the first call.
    void HoldWhileWriting();
    // Every record handed over is reported: the repaint goes ahead.
    void Written() { Release(); }
    bool Holding() const { return repaint_.Holding(); }

  private:
    void Release();

    HeldRepaint repaint_;
    QTimer longest_{this};  // "longestHold"
};

}  // namespace brisolant
