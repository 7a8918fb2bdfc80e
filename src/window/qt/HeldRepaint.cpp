#include "window/qt/HeldRepaint.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QWidget>
#include <utility>

namespace brisolant {

HeldRepaint::HeldRepaint(QWidget& window, std::function<void()> nestedLoopWaits)
    : window_(window), nestedLoopWaits_(std::move(nestedLoopWaits)) {
    window_.installEventFilter(this);
    // Only a loop that waits for events blocks, never a yield's own run of what is pending.
    connect(QAbstractEventDispatcher::instance(window_.thread()),
            &QAbstractEventDispatcher::aboutToBlock, this, [this] {
                if (holding_ && QThread::currentThread()->loopLevel() > loopLevel_) {
                    PostHeld();
                    if (nestedLoopWaits_) {
                        nestedLoopWaits_();
                    }
                }
            });
}

void HeldRepaint::Hold() {
    if (!holding_) {
        holding_ = true;
        loopLevel_ = QThread::currentThread()->loopLevel();
    }
}

void HeldRepaint::LetGo() {
    holding_ = false;
    PostHeld();
}

// The window's repaint is one request posted to it, whatever changed; it posts no other until
// that one has been handled, so the request held back is posted again in its place.
void HeldRepaint::PostHeld() {
    if (held_) {
        held_ = false;
        QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    }
}

bool HeldRepaint::eventFilter(QObject* watched, QEvent* event) {
    if (holding_ && watched == &window_ && event->type() == QEvent::UpdateRequest &&
        QThread::currentThread()->loopLevel() == loopLevel_) {
        held_ = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace brisolant
