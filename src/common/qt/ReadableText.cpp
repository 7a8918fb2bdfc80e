#include "common/qt/ReadableText.h"

#include <algorithm>
#include <cmath>

namespace brisolant {

namespace {

constexpr double kReadableContrast = 4.5;

double Linear(int channel) {
    const double v = channel / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.red()) + 0.7152 * Linear(rgb.green()) + 0.0722 * Linear(rgb.blue());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableDimText(const QColor& background) {
    // On a light background the grey darkens step by step, on a dark one it lightens.
    const bool light = ContrastRatio(background, Qt::black) >= ContrastRatio(background, Qt::white);
    for (int step = 0; step <= 255; ++step) {
        const int level = light ? 255 - step : step;
        const QColor grey(level, level, level);
        if (ContrastRatio(grey, background) >= kReadableContrast) {
            return grey;
        }
    }
    return light ? QColor(Qt::black) : QColor(Qt::white);
}

}  // namespace brisolant
