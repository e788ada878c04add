#include "startcommand.h"

#include "mdimain.h"

#include "app/common/keywordcharacters.h"
#include "app/store/databasemodule.h"

#include <QApplication>
#include <QTimer>

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

void lookUpWhenFree(mdiMain &window, const store::DatabaseModule &database, const QString &word)
{
    // A lookup opens the result list modally; under another modal window or a running search it
    // would work on a set that is closed or busy.
    if (QApplication::activeModalWidget() || database.isSearching()) {
        QTimer::singleShot(RetryMs, &window, [&window, &database, word] { lookUpWhenFree(window, database, word); });
        return;
    }
    window.lookUpKeyword(word);
}

} // namespace

std::optional<QString> lookupWordOf(const QStringList &arguments)
{
    if (arguments.size() != 1)
        return std::nullopt;
    // The characters the keyword box refuses when typed are left out here too.
    QString word = arguments.first().trimmed();
    word.removeIf([](QChar c) { return IsReservedKeywordChar(c); });
    if (word.isEmpty() || word.startsWith(QLatin1Char('-')))
        return std::nullopt;
    return word;
}

void runCommandLine(mdiMain &window, const store::DatabaseModule &database, const QStringList &arguments)
{
    bringToFront(window);
    // A dialog the user left open stays in front of the main window.
    if (QWidget *modal = QApplication::activeModalWidget())
        bringToFront(*modal);
    if (const std::optional<QString> word = lookupWordOf(arguments))
        lookUpWhenFree(window, database, *word);
}

} // namespace qm::app
