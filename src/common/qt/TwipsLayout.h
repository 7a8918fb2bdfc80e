#pragma once

class QWidget;

namespace brisolant {

// The windows are laid out in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch. They
// scale with the widget's logical DPI, so a layout keeps its proportions on any screen.
int TwipsToPixels(const QWidget& widget, int twips);
int PixelsToTwips(const QWidget& widget, int pixels);

// Sets the widget's place and size within its parent, all four in twips.
void Place(QWidget* widget, int left, int top, int width, int height);

// A caption (label, check box, option button) that does not fit its box gets a narrower font of
// the same point size, so that wider platform fonts never clip it while every control keeps its
// place and size. FitCaptions fits every caption under the parent.
void FitCaption(QWidget* caption);
void FitCaptions(QWidget* parent);

}  // namespace brisolant
