#include "app/store/sets/memberopener.h"

#include "app/store/dictionary/dictionary.h"

#include <QMutexLocker>

#include <utility>

namespace qm::store {

PasswordPrompt ServerPasswords::asking(Ask ask)
{
    return [this, ask = std::move(ask)](const QString &location) -> std::optional<QString> {
        if (std::optional<QString> known = find(location))
            return known;
        if (!ask)
            return std::nullopt;
        std::optional<QString> typed = ask(location);
        if (typed)
            keep(location, *typed);
        return typed;
    };
}

PasswordPrompt ServerPasswords::remembered()
{
    return [this](const QString &location) { return find(location); };
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

QString shownMember(const QString &location)
{
    return isServerLocation(location) ? shownServerLocation(location) : location;
}

} // namespace qm::store
