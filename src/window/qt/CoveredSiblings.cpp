#include "window/qt/CoveredSiblings.h"

#include <QWidget>

namespace brisolant {

void SuspendCoveredSiblings(QWidget& list) {
    QWidget* parent = list.parentWidget();
    if (parent == nullptr) {
        return;
    }
    const bool shown = !list.isHidden();
    // The parent's children are in stacking order: those before the list lie beneath it.
    for (QObject* child : parent->children()) {
        if (child == &list) {
            break;
        }
        if (auto* sibling = qobject_cast<QWidget*>(child)) {
            // Resuming draws the sibling as it is now; resuming one never suspended does nothing.
            sibling->setUpdatesEnabled(!(shown && list.geometry().contains(sibling->geometry())));
        }
    }
}

}  // namespace brisolant
