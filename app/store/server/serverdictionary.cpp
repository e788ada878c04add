#include "app/store/server/serverdictionary.h"

#include "app/store/server/serverstorage.h"

#include "platform/postgres/location.h"

namespace qm::store {

bool isServerLocation(const QString &member)
{
    const QString text = member.trimmed();
    if (pg::isConnectionUri(text))
        return true;
    // A keyword string: settings "key=value" separated by spaces, one of them `dictionary`.
    const QLatin1String key("dictionary");
    for (qsizetype at = text.indexOf(key); at >= 0; at = text.indexOf(key, at + 1)) {
        if (at > 0 && !text[at - 1].isSpace())
            continue;
        qsizetype after = at + key.size();
        while (after < text.size() && text[after].isSpace())
            ++after;
        if (after < text.size() && text[after] == QLatin1Char('='))
            return true;
    }
    return false;
}

QString shownServerLocation(const QString &member)
{
    return pg::redactPassword(member);
}

std::unique_ptr<DictionaryStorage> openServerDictionary(const QString &member, const ServerOptions &options)
{
    return std::make_unique<ServerDictionary>(member, options);
}

} // namespace qm::store
