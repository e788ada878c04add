#pragma once

#include "app/store/progress.h"

#include <QString>

#include <functional>

class QComboBox;
class QWidget;

namespace qm::desktop {
class FileChooser;
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// What the export and import dialogs need from the program: its message boxes, its file
// dialogs, its help pages and a progress window for the long work.
struct ExchangeServices {
    desktop::Prompter &prompter;
    desktop::FileChooser &files;
    std::function<void(const QString &topic)> help;
    // Makes the progress report of one export or import, shown under `label`; false from the
    // report stops the work (the user cancelled). Empty: a progress window with a cancel button.
    std::function<store::Progress(const QString &label)> progress;
};

// A progress window that shows the part done and, for exports, the entries written; it keeps
// the program painting and offers a cancel button.
store::Progress progressWindow(const QString &label, bool countsEntries);

// Fills the combo box with the dictionaries of the open set ("①名前"), each with its slot as data;
// read-only ones are left out when `writableOnly`.
void fillDictionaries(QComboBox *combo, store::DatabaseModule &database, bool writableOnly);

// The path as named when its suffix is one of `suffixes`, else with the first added: a file of
// another kind (a dictionary, say) is never written over by mistake.
QString withSuffix(const QString &path, const QStringList &suffixes);

} // namespace qm::app
