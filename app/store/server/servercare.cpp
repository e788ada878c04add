#include "app/store/server/servercare.h"

#include "app/store/dictionary/storeerror.h"
#include "app/store/server/serverschema.h"

#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"
#include "platform/postgres/location.h"

namespace qm::store {
namespace {

// The store's error for a failure of the server or of the way to it.
[[noreturn]] void raise(const pg::Error &error, const QString &host, const QString &shown)
{
    const QString reason = pg::redactPassword(error.message());
    using K = pg::Error::Kind;
    switch (error.kind()) {
    case K::BadLocation: throw Error(Error::Kind::ServerBadLocation, shown).withOther(reason);
    case K::Unreachable: throw Error(Error::Kind::ServerUnreachable, host).withOther(reason);
    case K::Authentication: throw Error(Error::Kind::ServerLoginRefused, host).withOther(reason);
    case K::NoDatabase: throw Error(Error::Kind::ServerDatabaseMissing, host).withOther(reason);
    case K::ConnectionLost: throw Error(Error::Kind::ServerConnectionLost, host).withOther(reason);
    case K::Server: break;
    }
    throw Error(Error::Kind::ServerFailed, host).withOther(reason);
}

qint64 tableBytes(pg::Connection &c, const QString &schema)
{
    return c.exec("SELECT coalesce(sum(pg_total_relation_size(c.oid)), 0) FROM pg_class c "
                  "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = $1 AND c.relkind = 'r'",
                  pg::Params().text(schema))
        .number(0, 0);
}

void requireDictionary(pg::Connection &c, const QString &schema, const QString &dictionary)
{
    const server::SchemaCheck check = server::checkSchema(c, schema, dictionary);
    switch (check.state) {
    case server::SchemaState::Missing: throw Error(Error::Kind::ServerDictionaryMissing, dictionary);
    case server::SchemaState::Foreign: throw Error(Error::Kind::ServerNotDictionary, dictionary);
    // Tables of another version are compacted all the same: VACUUM keeps every row as it is.
    case server::SchemaState::OtherVersion:
    case server::SchemaState::Ours: break;
    }
}

// The server passes over, with a mere warning, a table the login does not own: that would be a
// compaction reported done that did nothing.
void requireOwner(pg::Connection &c, const QString &schema, const QString &host)
{
    const pg::Result r = c.exec("SELECT coalesce(bool_and(pg_has_role(c.relowner, 'USAGE')), false) FROM pg_class c "
                                "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = $1 AND c.relkind = 'r'",
                                pg::Params().text(schema));
    if (r.text(0, 0) != QLatin1String("t"))
        throw Error(Error::Kind::ServerFailed, host)
            .withOther(QStringLiteral("辞書の表を最適化できるのは、表の所有者のログインだけです"));
}

// Runs `work` on a connection of its own to the dictionary's database, once the dictionary is
// found there, turning the server's failures into the store's.
template<class Work>
auto onDictionary(const QString &location, const ServerOptions &options, Work &&work)
{
    const QString shown = pg::redactPassword(location);
    QString host;
    try {
        const pg::Location parsed = pg::parseLocation(location);
        if (parsed.dictionary.isEmpty())
            throw Error(Error::Kind::ServerBadLocation, shown).withOther(QStringLiteral("dictionary= がありません"));
        host = pg::connectionHost(parsed.connection);
        pg::ConnectOptions connect;
        connect.timeout = options.timeout;
        if (options.password)
            connect.password = [&] { return options.password(shown); };
        pg::Connection c(parsed.connection, connect);
        const QString schema = server::schemaName(parsed.dictionary);
        requireDictionary(c, schema, parsed.dictionary);
        return work(c, schema, host);
    } catch (const pg::Error &e) {
        raise(e, host.isEmpty() ? shown : host, shown);
    }
}

} // namespace

ServerCompaction compactServerDictionary(const QString &location, const ServerOptions &options)
{
    return onDictionary(location, options, [](pg::Connection &c, const QString &schema, const QString &host) {
        requireOwner(c, schema, host);
        ServerCompaction result;
        result.bytesBefore = tableBytes(c, schema);
        // The indexes an import cut off before it made them again are made first.
        server::useSchema(c, schema);
        for (const server::IndexDefinition &index : server::missingIndexes(c))
            c.run(index.sql);
        // VACUUM cannot run inside a transaction block, nor take its tables as parameters: the
        // schema's name is ours (a hash), never the user's text.
        for (const char *table : {"document", "keyword", "properties"})
            c.run(QStringLiteral("VACUUM (ANALYZE) %1.%2").arg(schema, QLatin1String(table)).toUtf8().constData());
        result.bytesAfter = tableBytes(c, schema);
        return result;
    });
}

QString serverChangeStamp(const QString &location, const ServerOptions &options)
{
    return onDictionary(location, options, [](pg::Connection &c, const QString &schema, const QString &) {
        return c.exec("SELECT string_agg(relname || ':' || n_tup_ins || '/' || n_tup_upd || '/' || n_tup_del, ',' "
                      "ORDER BY relname) FROM pg_stat_all_tables WHERE schemaname = $1",
                      pg::Params().text(schema))
            .text(0, 0);
    });
}

} // namespace qm::store
