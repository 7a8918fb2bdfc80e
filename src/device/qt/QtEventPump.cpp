#include "device/qt/QtEventPump.h"

#include <QCoreApplication>

namespace brisolant {

void QtEventPump::Yield() {
    QCoreApplication::processEvents();
}

}  // namespace brisolant
