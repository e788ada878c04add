#pragma once

#include <QtCore/qnamespace.h>

namespace qm::desktop {

// Window states as the settings store and the windows keep them: 0 normal, 1 minimized,
// 2 maximized.
qint16 windowStateCode(Qt::WindowStates state);
Qt::WindowStates windowStatesOf(qint16 code);

} // namespace qm::desktop
