#pragma once

#include <QColor>

namespace brisolant {

// Contrast between two colours as the readability guidelines define it: 1 for equal colours,
// 21 for black on white.
double ContrastRatio(const QColor& a, const QColor& b);

// The grey closest to the background that can still be read on it (a contrast of at least
// 4.5): text drawn in it keeps the look of a disabled element without turning grey on grey.
QColor ReadableDimText(const QColor& background);

}  // namespace brisolant
