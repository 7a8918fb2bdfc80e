#include "recorder/qt/QtWriterWakeup.h"

namespace brisolant {

void QtWriterWakeup::NewsWaiting() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (handler_) {
                handler_();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace brisolant
