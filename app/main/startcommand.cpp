#include "app/main/startcommand.h"

#include "app/main/mdimain.h"

#include "app/store/sets/databasemodule.h"

#include <QApplication>
#include <QTimer>

#include <functional>

namespace qm::app {
namespace {

constexpr int RetryMs = 200;

// A window hidden on purpose (the main window while the distributed registration runs) stays
// hidden.
void bringToFront(QWidget &window)
{
    if (window.isHidden())
        return;
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
}

// A lookup opens the result list modally, and the new-entry window lists the open set: under
// another modal window they would work on a set that may be closed meanwhile, and a lookup on
// its way would show its result list over the new window.
void runWhenFree(mdiMain &window, const store::DatabaseModule &database, const std::function<void()> &command)
{
    if (QApplication::activeModalWidget() || window.isLookingUp()) {
        QTimer::singleShot(RetryMs, &window, [&window, &database, command] { runWhenFree(window, database, command); });
        return;
    }
    command();
}

} // namespace

void runCommandLine(mdiMain &window, const store::DatabaseModule &database, const StartRequest &request)
{
    bringToFront(window);
    // A dialog the user left open stays in front of the main window.
    if (QWidget *modal = QApplication::activeModalWidget())
        bringToFront(*modal);
    if (request.kind == StartRequest::Kind::Search)
        window.lookUpHandedWord(request.word);
    else if (request.kind == StartRequest::Kind::NewEntry)
        runWhenFree(window, database, [&window] {
            if (window.windows.newEntry)
                window.windows.newEntry();
        });
}

} // namespace qm::app
