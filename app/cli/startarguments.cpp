#include "app/cli/startarguments.h"

#include "app/common/keywordcharacters.h"

namespace qm::app {

QStringList StartRequest::arguments() const
{
    switch (kind) {
    case Kind::Nothing:
        break;
    case Kind::Search:
        return {QStringLiteral("--search"), word};
    case Kind::NewEntry:
        return {QStringLiteral("--new-entry")};
    }
    return {};
}

std::optional<QString> searchWordOf(const QString &typed)
{
    QString word = typed.trimmed();
    word.removeIf([](QChar c) { return IsReservedKeywordChar(c); });
    if (word.isEmpty())
        return std::nullopt;
    return word;
}

} // namespace qm::app
