#include "window/qt/PaintHoldingPump.h"

namespace brisolant {

PaintHoldingPump::PaintHoldingPump(QWidget& window, EventPump& plain)
    : repaint_(window), plain_(plain) {}

void PaintHoldingPump::Yield() {
    if (depth_++ == 0) {
        repaint_.Hold();
    }
    struct Leave {
        PaintHoldingPump& pump;
        ~Leave() {
            if (--pump.depth_ == 0) {
                pump.repaint_.LetGo();
            }
        }
    } leave{*this};
    plain_.Yield();
}

}  // namespace brisolant
