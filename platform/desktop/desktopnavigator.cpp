#include "desktopnavigator.h"

#include <QDesktopServices>

namespace qm::desktop {

bool DesktopNavigator::open(const QUrl &url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace qm::desktop
