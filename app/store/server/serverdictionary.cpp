#include "app/store/server/serverdictionary.h"

#include "app/store/server/serverschema.h"
#include "app/store/server/serverstorage.h"

#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"
#include "platform/postgres/location.h"
#include "platform/postgres/transaction.h"

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

bool dropEmptyServerDictionary(const QString &member, const ServerOptions &options)
{
    try {
        const pg::Location location = pg::parseLocation(member);
        if (location.dictionary.isEmpty())
            return false;
        pg::ConnectOptions connect;
        connect.timeout = options.timeout;
        if (options.password)
            connect.password = [&] { return options.password(shownServerLocation(member)); };
        pg::Connection connection(location.connection, connect);
        const QString schema = server::schemaName(location.dictionary);
        pg::Transaction tx(connection);
        // Under the lock that making a dictionary takes, and with its entries locked against
        // every other program: a dictionary someone opened or filled meanwhile stays.
        connection.exec("SELECT pg_advisory_xact_lock($1)", pg::Params().number(server::lockKey(schema)));
        if (server::checkSchema(connection, schema, location.dictionary).state != server::SchemaState::Ours)
            return false;
        connection.run("SET LOCAL lock_timeout = '2s'");
        connection.run(qPrintable(QStringLiteral("LOCK TABLE %1.document, %1.keyword IN ACCESS EXCLUSIVE MODE").arg(schema)));
        if (connection.exec(qPrintable(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1.document)").arg(schema))).text(0, 0)
            != QLatin1String("f"))
            return false;
        connection.run(qPrintable(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema)));
        tx.commit();
        return true;
    } catch (const pg::Error &) {
        return false;
    }
}

} // namespace qm::store
