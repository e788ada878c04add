#pragma once

#include <QString>

#include <functional>

class QAction;
class QDialog;

namespace qm::app {

// Gives a dialog its menu bar (objectName "menuBar") above its layout, holding the one item
// "ﾍﾙﾌﾟ(&H)" named `objectName`, which calls `onHelp`.
QAction *addHelpMenu(QDialog *dialog, const QString &objectName, std::function<void()> onHelp);

} // namespace qm::app
