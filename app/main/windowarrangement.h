#pragma once

class QMdiArea;

namespace qm::app {

// Arranging the child windows of the main window. Minimized windows keep their place.
void tileOneAboveTheOther(QMdiArea &area);
void tileSideBySide(QMdiArea &area);
// Lines the minimized windows up along the bottom edge, left to right.
void arrangeIcons(QMdiArea &area);

} // namespace qm::app
