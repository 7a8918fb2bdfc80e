#pragma once

class QWidget;

namespace brisolant {

// While the list is shown, the widgets beneath it that it covers wholly are not drawn: a change
// of the light, a value or the counter would otherwise draw the part of the list over it again.
// They take every change meanwhile and are drawn as they then are once the list is hidden or
// moved off them. Call it whenever the list is shown, hidden or moved.
void SuspendCoveredSiblings(QWidget& list);

}  // namespace brisolant
