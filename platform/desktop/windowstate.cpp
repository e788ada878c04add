#include "windowstate.h"

namespace qm::desktop {

qint16 windowStateCode(Qt::WindowStates state)
{
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & Qt::WindowMaximized)
        return 2;
    return 0;
}

Qt::WindowStates windowStatesOf(qint16 code)
{
    switch (code) {
    case 1: return Qt::WindowMinimized;
    case 2: return Qt::WindowMaximized;
    default: return Qt::WindowNoState;
    }
}

} // namespace qm::desktop
