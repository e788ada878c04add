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

// Gives the main window's condition search and heading list commands their windows. Each is
// made once, kept hidden between uses and shown modally; a condition search lists its rows in
// the main window's result list.
void installSearchWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                          desktop::Prompter &prompter);

} // namespace qm::app
