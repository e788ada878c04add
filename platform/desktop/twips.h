#pragma once

#include <QRect>

namespace qm::desktop {

// Window geometry is kept in twips (1440 per inch) and converted through the primary screen's
// logical DPI, so stored positions mean the same physical size on every screen setting.
class Twips final
{
public:
    static int toPixels(double twips);
    static double fromPixels(int pixels);
    static QRect toPixels(double left, double top, double width, double height);

private:
    Twips() = delete;
    static double dpi();
};

} // namespace qm::desktop
