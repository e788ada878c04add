// A team writing to one dictionary on a server (a private cluster the test starts): many
// programs at once lose nothing, a killed writer leaves every entry whole or absent, an entry
// being edited is held for its program, a change made by another program since a read is
// refused with who made it, and an older dictionary is upgraded in place.

#include "app/common/storemessages.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/server/serverschema.h"

#include "tests/common/pgcluster.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTest>
#include <QThread>

#include <map>
#include <set>

using namespace qm;
using namespace qm::store;

namespace {

Entry entry(const QString &heading)
{
    Entry e;
    e.Viewer = 1;
    e.Heading = heading;
    e.Document = heading.toLatin1();
    return e;
}

QString child()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qm-server-write-child");
}

FailureKind failureOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const sqlite::Error &error) {
        return storeFailure(error) ? storeFailure(error)->kind : FailureKind::Cancelled;
    }
    return FailureKind::Cancelled;
}

} // namespace

class tst_serverwrites final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twentyWritersLoseNothing();
    void killedWriterLosesNothingCommitted();
    void secondChangeOfOneReadIsRefused_data();
    void secondChangeOfOneReadIsRefused();
    void racingProgramsNeverBothUpdate();
    void editedEntryIsHeldForItsProgram();
    void lostConnectionKeepsTheEditForRetry();
    void restartedServerIsReconnected();
    void olderDictionaryIsUpgradedInPlace();

private:
    std::unique_ptr<DictionaryStorage> server(const QString &dictionary, bool readOnly = false) const;
    void terminateOurSessions() const;

    std::unique_ptr<test::PgCluster> m_cluster;
};

void tst_serverwrites::initTestCase()
{
    try {
        m_cluster = std::make_unique<test::PgCluster>();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
}

std::unique_ptr<DictionaryStorage> tst_serverwrites::server(const QString &dictionary, bool readOnly) const
{
    ServerOptions options;
    options.createIfMissing = !readOnly;
    options.readOnly = readOnly;
    return openServerDictionary(m_cluster->uri(dictionary), options);
}

void tst_serverwrites::terminateOurSessions() const
{
    m_cluster->psql(QStringLiteral("postgres"), QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                                "WHERE application_name = 'Quillmere'"));
    QThread::msleep(300); // the sessions end a moment after they are told to
}

void tst_serverwrites::twentyWritersLoseNothing()
{
    constexpr int Writers = 20;
    constexpr int Count = 100;
    const std::unique_ptr<DictionaryStorage> d = server(QStringLiteral("team"));
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int id = 0; id < Writers; ++id) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(child(), {QStringLiteral("work"), d->location(), QString::number(id), QString::number(Count)});
    }
    for (const auto &p : writers) {
        QVERIFY(p->waitForFinished(50000));
        QCOMPARE(p->readAllStandardOutput().trimmed(), QByteArray("done"));
    }
    // Every even entry of every writer, modified, with its two keywords; nothing else.
    std::set<QString> expected;
    for (int id = 0; id < Writers; ++id)
        for (int i = 0; i < Count; i += 2)
            expected.insert(QStringLiteral("c%1-%2m|k%1-%2,m%1-%2").arg(id).arg(i));
    std::set<QString> found;
    d->forEachEntry(d->entryNumbers(), [&](const Entry &e, const QStringList &keywords) {
        found.insert(e.Heading + QLatin1Char('|') + keywords.join(QLatin1Char(','))
                     + (e.Document == e.Heading.toLatin1() ? QString() : QStringLiteral("|body differs")));
        return true;
    });
    QCOMPARE(found.size(), expected.size());
    QVERIFY(found == expected);
    QCOMPARE(d->keywordCount(), qint64(2 * expected.size()));
}

void tst_serverwrites::killedWriterLosesNothingCommitted()
{
    const std::unique_ptr<DictionaryStorage> d = server(QStringLiteral("killed"));
    std::set<qint32> committed;
    for (int round = 0; round < 10; ++round) {
        QProcess p;
        p.start(child(), {QStringLiteral("loop"), d->location()});
        QVERIFY(p.waitForStarted());
        while (p.state() == QProcess::Running && !p.canReadLine())
            p.waitForReadyRead(5000);
        QThread::msleep(QRandomGenerator::global()->bounded(5, 120));
        p.kill();
        p.waitForFinished(10000);
        while (p.canReadLine())
            committed.insert(p.readLine().trimmed().toInt());
    }
    QVERIFY(committed.size() >= 10);
    std::set<qint32> present;
    QStringList broken;
    d->forEachEntry(d->entryNumbers(), [&](const Entry &e, const QStringList &keywords) {
        present.insert(e.DocumentNumber);
        // Whole: the body and the three keywords its registration wrote.
        if (e.Document != e.Heading.toLatin1().repeated(20000)
            || keywords != QStringList{e.Heading + QStringLiteral("-0"), e.Heading + QStringLiteral("-1"), e.Heading + QStringLiteral("-2")})
            broken.append(e.Heading);
        return true;
    });
    QCOMPARE(broken, QStringList());
    for (const qint32 n : committed)
        QVERIFY2(present.count(n), qPrintable(QString::number(n)));
    QCOMPARE(d->keywordCount(), qint64(3 * present.size()));
}

void tst_serverwrites::secondChangeOfOneReadIsRefused_data()
{
    QTest::addColumn<bool>("firstDeletes");
    QTest::addColumn<bool>("secondDeletes");
    QTest::newRow("update after update") << false << false;
    QTest::newRow("delete after update") << false << true;
    QTest::newRow("update after delete") << true << false;
}

// Two programs read one entry; the first to write wins, the second is refused with who wrote
// and when, and the first's write stays.
void tst_serverwrites::secondChangeOfOneReadIsRefused()
{
    QFETCH(bool, firstDeletes);
    QFETCH(bool, secondDeletes);
    const std::unique_ptr<DictionaryStorage> a = server(QStringLiteral("race"));
    const std::unique_ptr<DictionaryStorage> b = server(QStringLiteral("race"));
    const qint32 n = a->addEntry(entry(QStringLiteral("original")), {QStringLiteral("k")});
    Entry mine = *a->document(n);
    Entry theirs = *b->document(n);
    mine.Heading = QStringLiteral("first");
    theirs.Heading = QStringLiteral("second");
    QVERIFY(firstDeletes ? a->deleteEntry(n) : a->updateEntry(mine));
    try {
        secondDeletes ? b->deleteEntry(n) : b->updateEntry(theirs);
        QFAIL("a change made over another program's change was taken");
    } catch (const sqlite::Error &error) {
        QVERIFY2(isStoreError(error, FailureKind::ServerChangedByOther), qPrintable(app::errorText(error)));
        const QString text = app::errorText(error);
        QVERIFY2(text.contains(QLatin1Char('@') + QSysInfo::machineHostName()), qPrintable(text));
        QVERIFY2(text.contains(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))), qPrintable(text));
        QVERIFY2(text.endsWith(firstDeletes ? QStringLiteral("削除しました") : QStringLiteral("変更しました")), qPrintable(text));
    }
    const std::optional<Entry> stored = a->document(n);
    QCOMPARE(stored.has_value(), !firstDeletes);
    if (stored)
        QCOMPARE(stored->Heading, QStringLiteral("first"));
    // Read again, the second program may write.
    if (stored) {
        theirs = *b->document(n);
        theirs.Heading = QStringLiteral("second");
        QVERIFY(b->updateEntry(theirs));
        QCOMPARE(a->document(n)->Heading, QStringLiteral("second"));
    }
}

// Two programs read one entry and update it at the same moment, round after round: one wins.
void tst_serverwrites::racingProgramsNeverBothUpdate()
{
    const std::unique_ptr<DictionaryStorage> d = server(QStringLiteral("racing"));
    const qint32 n = d->addEntry(entry(QStringLiteral("start")), {QStringLiteral("k")});
    for (int round = 0; round < 10; ++round) {
        QProcess a;
        QProcess b;
        for (QProcess *p : {&a, &b}) {
            p->start(child(), {QStringLiteral("race"), d->location(), QString::number(n)});
            QVERIFY(p->waitForReadyRead(20000));
            QCOMPARE(p->readLine().trimmed(), QByteArray("read"));
        }
        a.write("go\n");
        b.write("go\n");
        QStringList outcomes;
        for (QProcess *p : {&a, &b}) {
            QVERIFY(p->waitForFinished(20000));
            outcomes.append(QString::fromUtf8(p->readAll().trimmed()));
        }
        outcomes.sort();
        QCOMPARE(outcomes, (QStringList{QStringLiteral("ok"), QStringLiteral("refused")}));
    }
}

void tst_serverwrites::editedEntryIsHeldForItsProgram()
{
    const std::unique_ptr<DictionaryStorage> a = server(QStringLiteral("held"));
    const std::unique_ptr<DictionaryStorage> b = server(QStringLiteral("held"));
    const qint32 n = a->addEntry(entry(QStringLiteral("one")), {QStringLiteral("k")});
    const qint32 other = a->addEntry(entry(QStringLiteral("two")), {QStringLiteral("k")});
    a->holdEntry(n);
    a->holdEntry(n); // holding again is no second hold: one release frees it
    QCOMPARE(failureOf([&] { b->holdEntry(n); }), FailureKind::InUse);
    b->holdEntry(other); // another entry of the same dictionary is free
    a->releaseEntry();
    b->holdEntry(n);
    QCOMPARE(failureOf([&] { a->holdEntry(n); }), FailureKind::InUse);
    b->releaseEntry();

    // A program killed while it edits frees the entry, and what it wrote is not stored.
    QProcess p;
    p.start(child(), {QStringLiteral("hold"), a->location(), QString::number(n)});
    QVERIFY(p.waitForReadyRead(20000));
    QCOMPARE(p.readLine().trimmed(), QByteArray("held"));
    QCOMPARE(failureOf([&] { a->holdEntry(n); }), FailureKind::InUse);
    p.kill();
    p.waitForFinished();
    QTRY_COMPARE_WITH_TIMEOUT(failureOf([&] { a->holdEntry(n); }), FailureKind::Cancelled, 10000);
    QCOMPARE(a->keywords(n), QStringList{QStringLiteral("k")});
}

// The modification window's way: the edit that met a lost connection is refused, the entry is
// held anew and the retry stores what the window still shows.
void tst_serverwrites::lostConnectionKeepsTheEditForRetry()
{
    const std::unique_ptr<DictionaryStorage> d = server(QStringLiteral("retry"));
    const qint32 n = d->addEntry(entry(QStringLiteral("before")), {QStringLiteral("k")});
    d->holdEntry(n);
    Entry e = *d->document(n);
    d->beginEditSession();
    e.Heading = QStringLiteral("after");
    terminateOurSessions();
    QCOMPARE(failureOf([&] { d->updateEntry(e); }), FailureKind::ServerConnectionLost);
    QVERIFY(!d->isEditSessionLive());
    d->rollbackEditSession();
    // Held again on the new connection, so another program still cannot take it.
    d->holdEntry(n);
    const std::unique_ptr<DictionaryStorage> other = server(QStringLiteral("retry"));
    QCOMPARE(failureOf([&] { other->holdEntry(n); }), FailureKind::InUse);
    d->beginEditSession();
    QVERIFY(d->updateEntry(e));
    d->commitEditSession();
    QCOMPARE(other->document(n)->Heading, QStringLiteral("after"));
}

void tst_serverwrites::restartedServerIsReconnected()
{
    const std::unique_ptr<DictionaryStorage> d = server(QStringLiteral("restart"));
    const qint32 n = d->addEntry(entry(QStringLiteral("kept")), {QStringLiteral("k")});
    m_cluster->restart();
    QCOMPARE(d->document(n)->Heading, QStringLiteral("kept"));
    QVERIFY(d->addEntry(entry(QStringLiteral("new")), {QStringLiteral("k")}) > n);
}

void tst_serverwrites::olderDictionaryIsUpgradedInPlace()
{
    const qint32 n = server(QStringLiteral("old"))->addEntry(entry(QStringLiteral("old entry")), {QStringLiteral("k")});
    const QString schema = server::schemaName(QStringLiteral("old"));
    m_cluster->psql(QStringLiteral("qm"), QStringLiteral("ALTER TABLE %1.document DROP COLUMN changed_by, DROP COLUMN changed_at; "
                                                         "DROP TABLE %1.removed; DROP INDEX %1.document_shown; "
                                                         "UPDATE %1.properties SET value = '1' WHERE name = 'SchemaVersion'")
                                              .arg(schema));
    // Read as it is when only read; upgraded when opened for writing.
    QCOMPARE(server(QStringLiteral("old"), true)->document(n)->Heading, QStringLiteral("old entry"));
    // Only the owner of the tables may upgrade them; another role is told how.
    m_cluster->psql(QStringLiteral("qm"), QStringLiteral("GRANT USAGE ON SCHEMA %1 TO writer; "
                                                         "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %1 TO writer")
                                              .arg(schema));
    qputenv("PGPASSWORD", test::PgCluster::WriterPassword);
    try {
        openServerDictionary(m_cluster->uri(QStringLiteral("old"), QStringLiteral("writer")), {});
        QFAIL("a role that cannot upgrade opened an old dictionary for writing");
    } catch (const sqlite::Error &error) {
        QVERIFY2(isStoreError(error, FailureKind::ServerNeedsUpgrade), qPrintable(app::errorText(error)));
        QVERIFY(app::errorText(error).contains(QStringLiteral("持ち主のユーザーで一度開くと")));
    }
    qunsetenv("PGPASSWORD");
    const std::unique_ptr<DictionaryStorage> a = server(QStringLiteral("old"));
    m_cluster->psql(QStringLiteral("qm"), QStringLiteral("DO $$ BEGIN IF to_regclass('%1.document_shown') IS NULL "
                                                         "THEN RAISE 'the upgrade did not make document_shown'; END IF; END $$")
                                              .arg(schema));
    const std::unique_ptr<DictionaryStorage> b = server(QStringLiteral("old"));
    Entry mine = *a->document(n);
    Entry theirs = *b->document(n);
    QVERIFY(a->updateEntry(mine));
    QCOMPARE(failureOf([&] { b->updateEntry(theirs); }), FailureKind::ServerChangedByOther);
}

QTEST_GUILESS_MAIN(tst_serverwrites)
#include "tst_serverwrites.moc"
