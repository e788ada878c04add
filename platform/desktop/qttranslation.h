#pragma once

class QCoreApplication;

namespace qm::desktop {

// Installs Qt's own Japanese texts (standard buttons, the colour, file, print and page-setup
// dialogs, the context menus of text fields) from the distribution's translation files, so that
// no dialog of the toolkit speaks English, and after them the program's own Japanese for the few
// texts those files lack. False, with nothing installed, when the files are missing.
bool installQtJapanese(QCoreApplication &app);

} // namespace qm::desktop
