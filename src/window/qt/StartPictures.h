#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace brisolant {

// The pictures the main window shows as it comes up. Each is also kept in the program as raw
// pixels at the size it is shown on a screen of 96 dpi, made from the picture files as Qt itself
// shows them (tests compare the two), so that no image decoder runs at the start.

// The logo for a label of `shown` pixels that scales its picture to its size.
QPixmap LogoPicture(const QSize& shown);

// The icon of every window of the program.
QIcon ProgramIcon();

}  // namespace brisolant
