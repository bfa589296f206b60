#include "platform/Twips.h"

#include "platform/Runtime.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pelloway {

double TwipsPerPixel()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || screen->logicalDotsPerInch() <= 0)
        return 15.0;
    return 1440.0 / screen->logicalDotsPerInch();
}

int TwipsToPixels(double twips)
{
    return RoundToInt32(twips / TwipsPerPixel());
}

double PixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel();
}

void PlaceTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

void SetClientSizeTwips(QWidget* window, int width, int height)
{
    window->setFixedSize(TwipsToPixels(width), TwipsToPixels(height));
}

} // namespace pelloway
