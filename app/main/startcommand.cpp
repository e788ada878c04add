#include "startcommand.h"

#include "mdimain.h"

#include "app/common/keywordcharacters.h"
#include "app/store/databasemodule.h"

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
// another modal window or during a running search they would work on a set that is closed or
// busy.
void runWhenFree(mdiMain &window, const store::DatabaseModule &database, const std::function<void()> &command)
{
    if (QApplication::activeModalWidget() || database.isSearching()) {
        QTimer::singleShot(RetryMs, &window, [&window, &database, command] { runWhenFree(window, database, command); });
        return;
    }
    command();
}

} // namespace

std::optional<QString> lookupWordOf(const QStringList &arguments)
{
    const bool searchOption = arguments.size() == 2 && arguments.first() == QLatin1String("--search");
    if (arguments.size() != 1 && !searchOption)
        return std::nullopt;
    // The characters the keyword box refuses when typed are left out here too.
    QString word = arguments.last().trimmed();
    word.removeIf([](QChar c) { return IsReservedKeywordChar(c); });
    if (word.isEmpty() || (!searchOption && word.startsWith(QLatin1Char('-'))))
        return std::nullopt;
    return word;
}

bool asksForNewEntry(const QStringList &arguments)
{
    return arguments == QStringList{QStringLiteral("--new-entry")};
}

bool hasStartCommand(const QStringList &arguments)
{
    return lookupWordOf(arguments) || asksForNewEntry(arguments);
}

void runCommandLine(mdiMain &window, const store::DatabaseModule &database, const QStringList &arguments)
{
    bringToFront(window);
    // A dialog the user left open stays in front of the main window.
    if (QWidget *modal = QApplication::activeModalWidget())
        bringToFront(*modal);
    if (const std::optional<QString> word = lookupWordOf(arguments))
        window.lookUpHandedWord(*word);
    else if (asksForNewEntry(arguments))
        runWhenFree(window, database, [&window] {
            if (window.windows.newEntry)
                window.windows.newEntry();
        });
}

} // namespace qm::app
