#pragma once

#include "app/cli/startarguments.h"

namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

class mdiMain;

// What the program does with a command line, its own or one a later start handed over: the main
// window comes to the front and a word is looked up in the keyword box, or the new-entry window
// opens. A lookup closes an open result list, heading grid or condition search and runs at once;
// words handed over together are looked up one after another, none dropped. Behind any other
// dialog or a running search, the lookup and the new-entry window wait until they are done.
void runCommandLine(mdiMain &window, const store::DatabaseModule &database, const StartRequest &request);

} // namespace qm::app
