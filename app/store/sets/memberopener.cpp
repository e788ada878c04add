#include "app/store/sets/memberopener.h"

#include "app/store/dictionary/dictionary.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <utility>

namespace qm::store {

PasswordPrompt ServerPasswords::asking(Ask ask)
{
    return [self = shared_from_this(), ask = std::move(ask)](const QString &location) -> std::optional<QString> {
        if (std::optional<QString> known = self->find(location))
            return known;
        if (!ask)
            return std::nullopt;
        std::optional<QString> typed = ask(location);
        if (typed)
            self->keep(location, *typed);
        return typed;
    };
}

PasswordPrompt ServerPasswords::remembered()
{
    return [self = shared_from_this()](const QString &location) { return self->find(location); };
}

void ServerPasswords::forget(const QString &shownLocation)
{
    const QMutexLocker lock(&m_mutex);
    m_passwords.remove(shownLocation);
}

std::optional<QString> ServerPasswords::find(const QString &location)
{
    const QMutexLocker lock(&m_mutex);
    const auto it = m_passwords.constFind(location);
    return it == m_passwords.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

void ServerPasswords::keep(const QString &location, const QString &password)
{
    const QMutexLocker lock(&m_mutex);
    m_passwords.insert(location, password);
}

std::unique_ptr<DictionaryStorage> openMember(const QString &location, const MemberOptions &options)
{
    if (!isServerLocation(location))
        return std::make_unique<Dictionary>(location,
                                            Dictionary::Options{options.readOnly, options.progress, options.richText});
    ServerOptions server;
    server.timeout = options.serverTimeout;
    server.password = options.password;
    server.readOnly = options.readOnly;
    server.richText = options.richText;
    const ServerOpener &open = options.openServer;
    return open ? open(location, server) : openServerDictionary(location, server);
}

StorageOpener readOnlyOpener(MemberOptions options)
{
    options.readOnly = true;
    options.progress = {};
    return [options = std::move(options)](const QString &location) { return openMember(location, options); };
}

namespace {

bool isUri(const QString &text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

ServerLocationProblem uriProblem(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QUrlQuery query(url);
    if (!url.isValid())
        return ServerLocationProblem::NotServer;
    if (!url.password().isEmpty() || query.hasQueryItem(QStringLiteral("password")))
        return ServerLocationProblem::HasPassword;
    if (query.queryItemValue(QStringLiteral("dictionary")).trimmed().isEmpty())
        return ServerLocationProblem::NoDictionary;
    return ServerLocationProblem::None;
}

} // namespace

ServerLocationProblem serverLocationProblem(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !isServerLocation(trimmed))
        return ServerLocationProblem::NotServer;
    if (isUri(trimmed))
        return uriProblem(trimmed);
    // A keyword string: `password = ...` anywhere among its settings.
    static const QRegularExpression password(QStringLiteral(R"((?:^|\s)password\s*=)"));
    if (trimmed.contains(password))
        return ServerLocationProblem::HasPassword;
    return ServerLocationProblem::None;
}

QString shownMember(const QString &location)
{
    return isServerLocation(location) ? shownServerLocation(location) : location;
}

} // namespace qm::store
