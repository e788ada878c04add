// Server dictionaries shared by several programs, on a private cluster: another program's
// change reaches the program that has the dictionary in its set, its own changes do not, and
// the change shows in the next read; compaction runs the server's own.

#include "app/common/storemessages.h"
#include "app/store/server/servercare.h"
#include "app/store/server/servernotify.h"
#include "app/store/server/serverschema.h"
#include "app/store/sets/databasemodule.h"

#include "platform/desktop/scriptedprompter.h"
#include "platform/postgres/connection.h"
#include "platform/postgres/location.h"
#include "tests/common/pgcluster.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace qm;
using namespace qm::store;

class tst_serverchanges final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void anotherProgramsChangeReachesTheWatch();
    void compactionRunsTheServersOwn();

private:
    // Runs SQL on the dictionary's tables as another program would.
    void changeElsewhere(const QString &dictionary, const QString &sql);
    std::unique_ptr<DictionaryStorage> server(const QString &dictionary);

    QTemporaryDir m_dir;
    desktop::ScriptedPrompter m_prompter;
    std::unique_ptr<test::PgCluster> m_cluster;
};

void tst_serverchanges::initTestCase()
{
    try {
        m_cluster = std::make_unique<test::PgCluster>();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
}

std::unique_ptr<DictionaryStorage> tst_serverchanges::server(const QString &dictionary)
{
    ServerOptions options;
    options.createIfMissing = true;
    return openServerDictionary(m_cluster->uri(dictionary), options);
}

void tst_serverchanges::changeElsewhere(const QString &dictionary, const QString &sql)
{
    m_cluster->psql(QString::fromLatin1(test::PgCluster::Database),
                    QStringLiteral("SET search_path = %1; %2").arg(server::schemaName(dictionary), sql));
}

void tst_serverchanges::anotherProgramsChangeReachesTheWatch()
{
    const QString name = QStringLiteral("共有用語集");
    const std::unique_ptr<DictionaryStorage> writer = server(name);
    const qint32 kept = writer->addEntry(Entry{0, 1, QStringLiteral("残る"), {}, {}}, {QStringLiteral("のこる")});
    const qint32 gone = writer->addEntry(Entry{0, 1, QStringLiteral("消える"), {}, {}}, {QStringLiteral("きえる")});
    // Opened for writing, the dictionary got its triggers: every writer announces its changes.
    pg::Connection check(pg::parseLocation(m_cluster->uri(name)).connection, {});
    QCOMPARE(check.exec("SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                        "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = $1 AND NOT t.tgisinternal",
                        pg::Params().text(server::schemaName(name)))
                 .number(0, 0),
             qint64(2));

    DatabaseModule db(app::storeHost(m_prompter), m_dir.path());
    const QString file = m_dir.filePath(QStringLiteral("a.dic"));
    Dictionary::CreateDictionary(file, QStringLiteral("a"), {}, {}, {});
    db.sets().add(DictionarySet(QStringLiteral("混在"), {file, m_cluster->uri(name)}));
    db.sets().choose(0);
    db.OpenDictionarySet();
    QVERIFY(db.storage(1));
    ServerChangeWatch watch(db);
    QSignalSpy changed(&watch, &ServerChangeWatch::dictionaryChanged);

    // The listener connects on its own thread: a change made before it listens is not heard, so
    // one is made again until the first is.
    for (int i = 0; i < 20 && changed.isEmpty(); ++i) {
        changeElsewhere(name, QStringLiteral("UPDATE document SET version = version WHERE document_number = %1").arg(kept));
        changed.wait(500);
    }
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.last().at(0).toInt(), 1);

    // This program's own writes are no other program's change.
    changed.clear();
    db.storage(1)->addKeyword(kept, QStringLiteral("のこす"));
    QVERIFY(!changed.wait(1500));

    // Another program deletes an entry and adds one: heard within seconds, and the next reads see both.
    changeElsewhere(name, QStringLiteral("DELETE FROM document WHERE document_number = %1").arg(gone));
    QVERIFY(changed.wait(5000));
    QVERIFY(!db.storage(1)->document(gone));
    const qint32 added = writer->addEntry(Entry{0, 1, QStringLiteral("新しい"), {}, {}}, {QStringLiteral("あたらしい")});
    QCOMPARE(db.storage(1)->keywords(added), QStringList{QStringLiteral("あたらしい")});
}

void tst_serverchanges::compactionRunsTheServersOwn()
{
    const QString name = QStringLiteral("最適化");
    const std::unique_ptr<DictionaryStorage> d = server(name);
    for (int i = 0; i < 50; ++i)
        d->deleteEntry(d->addEntry(Entry{0, 1, QStringLiteral("項目%1").arg(i), {}, {}}, {QStringLiteral("k%1").arg(i)}));
    const ServerCompaction done = compactServerDictionary(m_cluster->uri(name), {});
    QVERIFY(done.bytesBefore > 0 && done.bytesAfter > 0);
    pg::Connection check(pg::parseLocation(m_cluster->uri(name)).connection, {});
    const pg::Result stats = check.exec("SELECT count(*) FROM pg_stat_user_tables WHERE schemaname = $1 "
                                        "AND last_vacuum IS NOT NULL AND last_analyze IS NOT NULL",
                                        pg::Params().text(server::schemaName(name)));
    QCOMPARE(stats.number(0, 0), qint64(3));

    // What the server would pass over with a warning (a login that may read and write the
    // tables but does not own them), or cannot do, fails in words, never as done.
    changeElsewhere(name, QStringLiteral("GRANT USAGE ON SCHEMA %1 TO writer; "
                                         "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %1 TO writer")
                              .arg(server::schemaName(name)));
    ServerOptions writer;
    writer.password = [](const QString &) { return QString::fromLatin1(test::PgCluster::WriterPassword); };
    const struct {
        QString location;
        ServerOptions options;
        QString said;
    } refused[] = {
        {m_cluster->uri(name, QStringLiteral("writer")), writer, QStringLiteral("所有者")},
        {m_cluster->uri(QStringLiteral("ない辞書")), {}, QStringLiteral("ない辞書")},
    };
    for (const auto &r : refused) {
        try {
            compactServerDictionary(r.location, r.options);
            QFAIL(qPrintable(r.location + QStringLiteral(" was compacted")));
        } catch (const sqlite::Error &e) {
            QVERIFY2(app::errorText(e).contains(r.said), qPrintable(app::errorText(e)));
        }
    }
}

QTEST_GUILESS_MAIN(tst_serverchanges)
#include "tst_serverchanges.moc"
