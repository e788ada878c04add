#include "app/cli/startarguments.h"

#include "app/common/keywordcharacters.h"

namespace qm::app {

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

} // namespace qm::app
