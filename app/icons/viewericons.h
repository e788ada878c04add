#pragma once

#include <QIcon>

namespace qm::app {

// The small icon of an entry type (1 text ... 5 object); a null icon for other codes.
QIcon viewerIcon(int viewerCode);
// The program's window icon.
QIcon programIcon();

} // namespace qm::app
