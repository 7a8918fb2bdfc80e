#pragma once

class QWidget;

// Narrows the font of every caption under parent (labels, check boxes, option buttons) that does
// not fit its box, keeping the point size, so that wider platform fonts never clip a caption.
void FitCaptions(QWidget* parent);
