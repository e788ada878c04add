#include "startcommand.h"

#include "mdimain.h"

#include "app/common/procedures.h"
#include "app/store/databasemodule.h"

#include <QApplication>
#include <QTimer>

namespace qm::app {
namespace {

constexpr int RetryMs = 200;

void bringToFront(QWidget &window)
{
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

void lookUpWhenFree(mdiMain &window, const store::DatabaseModule &database, const QString &word)
{
    // A lookup opens the result list modally; under another modal window or a running search it
    // would work on a set that is closed or busy.
    if (QWidget *modal = QApplication::activeModalWidget(); modal || database.isSearching()) {
        if (modal)
            bringToFront(*modal);
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
    if (const std::optional<QString> word = lookupWordOf(arguments))
        lookUpWhenFree(window, database, *word);
}

} // namespace qm::app
