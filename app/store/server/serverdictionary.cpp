#include "app/store/server/serverdictionary.h"

#include "app/store/dictionary/storeerror.h"
#include "app/store/server/serverstorage.h"

#include "platform/postgres/location.h"

#include <QRegularExpression>

namespace qm::store {

bool isServerLocation(const QString &member)
{
    const QString text = member.trimmed();
    if (pg::isConnectionUri(text))
        return true;
    // A keyword string: settings "key=value" separated by spaces, one of them `dictionary`.
    static const QRegularExpression setting(QStringLiteral(R"((?:^|\s)dictionary\s*=)"));
    return text.contains(setting);
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
