#include "window/qt/QtRetryTimer.h"

namespace brisolant {

QtRetryTimer::QtRetryTimer(std::function<void()> tick) {
    timer_.setInterval(kIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
}

void QtRetryTimer::Start() {
    if (!timer_.isActive()) {
        timer_.start();
    }
}

void QtRetryTimer::Stop() {
    timer_.stop();
}

}  // namespace brisolant
