#pragma once

namespace qm::desktop {
class FileChooser;
class Prompter;
}
namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

class mdiMain;

// Gives the main window's export and import commands their windows: the export dialog (one
// dictionary, the whole set or the result list's rows), and, after the file to read is chosen,
// the import dialog (the word-list options and preview for .csv, .tsv and .txt files). Files are
// chosen through `files`; both are shown modally.
void installExchangeWindows(mdiMain &window, store::DatabaseModule &database, desktop::Prompter &prompter,
                            desktop::FileChooser &files);

} // namespace qm::app
