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

// Gives the main window's New command (menu, toolbar, Ctrl+N) its window: a new-entry window
// beside the main window, made anew for every showing so that its dictionary list is the open
// set's. While an entry window is open the command only brings a new-entry window to the front.
void installEntryWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                         desktop::Prompter &prompter);

} // namespace qm::app
