#pragma once

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
class Settings;
}

namespace qm::app {

class mdiMain;

// Gives the main window's New and Modify commands their windows. The new-entry window is made
// anew for every showing, so that its dictionary list is the open set's; while an entry window is
// open the New command only brings it to the front. The modification window is made once and
// hidden between edits; it is unloaded when the main window closes.
void installEntryWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                         desktop::Prompter &prompter);

} // namespace qm::app
