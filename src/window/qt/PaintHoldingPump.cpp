#include "window/qt/PaintHoldingPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QWidget>

namespace brisolant {

PaintHoldingPump::PaintHoldingPump(QWidget& window, EventPump& plain)
    : window_(window), plain_(plain) {
    window_.installEventFilter(this);
    // Only a loop that waits for events blocks, never the yield's own run of what is pending:
    // a modal window opened in the yield gets the repaint the yield held.
    connect(QAbstractEventDispatcher::instance(window_.thread()),
            &QAbstractEventDispatcher::aboutToBlock, this, [this] {
                if (depth_ > 0 && QThread::currentThread()->loopLevel() > loopLevel_) {
                    Release();
                }
            });
}

void PaintHoldingPump::Yield() {
    if (depth_ == 0) {
        loopLevel_ = QThread::currentThread()->loopLevel();
    }
    ++depth_;
    struct Leave {
        PaintHoldingPump& pump;
        ~Leave() {
            if (--pump.depth_ == 0) {
                pump.Release();
            }
        }
    } leave{*this};
    plain_.Yield();
}

// The window's repaint is one request posted to it, whatever changed; it posts no other until
// that one has been handled, so the request held back is posted again in its place.
void PaintHoldingPump::Release() {
    if (held_) {
        held_ = false;
        QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    }
}

bool PaintHoldingPump::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::UpdateRequest && depth_ > 0 &&
        QThread::currentThread()->loopLevel() == loopLevel_) {
        held_ = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace brisolant
