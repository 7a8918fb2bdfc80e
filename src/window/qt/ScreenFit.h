#pragma once

#include <QSize>

class QRect;
class QWidget;

namespace brisolant {

// Makes a top-level window, its frame included, lie wholly within `available` (the part of its
// screen that panels leave free): smaller when it is larger, moved in when it reaches past an
// edge, never smaller than its minimum size. Before the window is first shown its frame is not
// known yet, and FrameAllowance guesses it.
void FitIntoScreen(QWidget& window, const QRect& available);

// The size the window's frame adds to it: once shown, as the window system says; before, a
// title bar of the style's height and a border of the style's frame width.
QSize FrameAllowance(const QWidget& window);

}  // namespace brisolant
