#pragma once
// Window positions and sizes are designed in twips (1/1440 inch). The screen's logical DPI
// gives the twips per pixel: 15 at 96 dpi.

#include <QRect>
#include <QSize>

class QWidget;

namespace pelloway {

// Twips per pixel of the primary screen (1440 / logical DPI); 15 when no screen is known.
double TwipsPerPixel();

// Twips to whole pixels, ties to even.
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);

// Places a child control at (left, top) with (width, height), all in twips, relative to its parent.
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

// Fixes a top-level window's client area to width x height twips.
void SetClientSizeTwips(QWidget* window, int width, int height);

} // namespace pelloway
