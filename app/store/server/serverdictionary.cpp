#include "app/store/server/serverdictionary.h"

#include "app/store/dictionary/storeerror.h"

#include <QRegularExpression>

namespace qm::store {

bool isServerLocation(const QString &member)
{
    const QString text = member.trimmed();
    if (text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return true;
    // A keyword string: settings "key=value" separated by spaces, one of them `dictionary`.
    static const QRegularExpression setting(QStringLiteral(R"((?:^|\s)dictionary\s*=)"));
    return text.contains(setting);
}

QString shownServerLocation(const QString &member)
{
    return member;
}

std::unique_ptr<DictionaryStorage> openServerDictionary(const QString &member, const ServerOptions &)
{
    throw Error(FailureKind::MemberNotOpened, shownServerLocation(member));
}

} // namespace qm::store
