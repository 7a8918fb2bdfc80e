#include "window/qt/ScanPaintGate.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QWidget>

namespace brisolant {

ScanPaintGate::ScanPaintGate(QWidget& window) : window_(window) {
    longest_.setSingleShot(true);
    longest_.setTimerType(Qt::PreciseTimer);
    longest_.setInterval(kLongestHold);
    connect(&longest_, &QTimer::timeout, this, &ScanPaintGate::Release);
    connect(QAbstractEventDispatcher::instance(window_.thread()),
            &QAbstractEventDispatcher::aboutToBlock, this, [this] {
                if (holding_ && QThread::currentThread()->loopLevel() > loopLevel_) {
                    Release();
                }
            });
    window_.installEventFilter(this);
}

void ScanPaintGate::HoldWhileWriting() {
    if (holding_) {
        return;
    }
    holding_ = true;
    loopLevel_ = QThread::currentThread()->loopLevel();
    longest_.start();
}

// The window's repaint is one request posted to it, whatever changed; it posts no other until
// that one has been handled, so the request held back is posted again in its place.
void ScanPaintGate::Release() {
    if (!holding_) {
        return;
    }
    holding_ = false;
    longest_.stop();
    if (held_) {
        held_ = false;
        QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    }
}

bool ScanPaintGate::eventFilter(QObject* watched, QEvent* event) {
    if (holding_ && watched == &window_ && event->type() == QEvent::UpdateRequest &&
        QThread::currentThread()->loopLevel() == loopLevel_) {
        held_ = true;
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace brisolant
