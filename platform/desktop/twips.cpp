#include "twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace qm::desktop {

double Twips::dpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double value = screen ? screen->logicalDotsPerInch() : 96.0;
    return value > 0 ? value : 96.0;
}

int Twips::toPixels(double twips)
{
    return int(std::lround(twips * dpi() / 1440.0));
}

double Twips::fromPixels(int pixels)
{
    return std::round(pixels * 1440.0 / dpi());
}

QRect Twips::toPixels(double left, double top, double width, double height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace qm::desktop
