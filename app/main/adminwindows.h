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

// Gives the main window its dictionary sets list, distributed dictionary registration, options
// and version dialogs. Each is made anew for every showing and shown modally.
void installAdminWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                         desktop::Prompter &prompter);

} // namespace qm::app
