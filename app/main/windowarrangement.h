#pragma once

class QMdiArea;
class QWidget;

namespace qm::app {

// Arranging the child windows of the main window. Minimized windows keep their place.
void tileOneAboveTheOther(QMdiArea &area);
void tileSideBySide(QMdiArea &area);
// Lines the minimized windows up along the bottom edge, left to right.
void arrangeIcons(QMdiArea &area);
// Each time `window` is shown where it would cover the main window exactly (at its top left
// corner), it opens lower and to the right by a title bar's height, so both stay in sight.
void openCascadedOver(QWidget &window, QWidget &main);

} // namespace qm::app
