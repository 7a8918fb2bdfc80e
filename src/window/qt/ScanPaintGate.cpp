#include "window/qt/ScanPaintGate.h"

namespace brisolant {

ScanPaintGate::ScanPaintGate(QWidget& window) : repaint_(window, [this] { Release(); }) {
    longest_.setObjectName("longestHold");
    longest_.setSingleShot(true);
    longest_.setTimerType(Qt::PreciseTimer);
    longest_.setInterval(kLongestHold);
    connect(&longest_, &QTimer::timeout, this, &ScanPaintGate::Release);
}

void ScanPaintGate::HoldWhileWriting() {
    if (repaint_.Holding()) {
        return;
    }
    repaint_.Hold();
    longest_.start();
}

void ScanPaintGate::Release() {
    if (repaint_.Holding()) {
        repaint_.LetGo();
        longest_.stop();
    }
}

}  // namespace brisolant
