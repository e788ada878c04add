// Backups of a server dictionary (a private cluster the test starts): a generation holds the
// export's lines, a new file made from it exports the same lines, a restore into the server
// puts them back after keeping what was there, and the folder keeps 7 days and 4 weeks.

#include "exchangefixture.h"

#include "app/exchange/exchangeerror.h"
#include "app/exchange/exporter.h"
#include "app/exchange/serverbackup.h"
#include "app/store/care/backup.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/care/autobackup.h"
#include "app/store/sets/dictionaryset.h"
#include "tests/common/pgcluster.h"

#include <QBuffer>
#include <QTest>

using namespace qm;
using namespace qm::exchange::test;

class tst_serverbackup final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void generationRoundTripsTheEntries();
    void restoreIntoTheServerKeepsWhatWasThere();
    void rotationKeepsSevenDaysAndFourWeeks();
    void aSetRoundBacksUpItsServerMembers();

private:
    std::unique_ptr<store::DictionaryStorage> server(const QString &name);
    static QByteArray exported(store::DictionaryStorage &dictionary);
    store::BackupOptions options() const;

    QTemporaryDir m_dir;
    std::unique_ptr<qm::test::PgCluster> m_cluster;
    QString m_location;
    QByteArray m_lines; // the dictionary's export when filled
};

void tst_serverbackup::initTestCase()
{
    try {
        m_cluster = std::make_unique<qm::test::PgCluster>();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
    m_location = m_cluster->uri(QStringLiteral("バックアップ用"));
    const auto d = server(QStringLiteral("バックアップ用"));
    d->addEntriesFrom([entries = hostileEntries(), done = false](std::vector<store::NewEntry> &batch,
                                                                 store::Numbering &) mutable {
        if (!std::exchange(done, true))
            for (const auto &e : entries)
                batch.push_back({e.entry, e.keywords});
        return false;
    });
    m_lines = exported(*d);
    QVERIFY(m_lines.count('\n') == qsizetype(hostileEntries().size()) + 1);
}

std::unique_ptr<store::DictionaryStorage> tst_serverbackup::server(const QString &name)
{
    store::ServerOptions options;
    options.createIfMissing = true;
    return store::openServerDictionary(m_cluster->uri(name), options);
}

QByteArray tst_serverbackup::exported(store::DictionaryStorage &dictionary)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    exchange::exportDictionary(dictionary, out);
    return out.data();
}

store::BackupOptions tst_serverbackup::options() const
{
    store::BackupOptions o;
    o.root = m_dir.filePath(QStringLiteral("backups"));
    return o;
}

void tst_serverbackup::generationRoundTripsTheEntries()
{
    const QString generation = exchange::backUpServerDictionary(m_location, options(), false);
    QVERIFY(generation.endsWith(QStringLiteral(".jsonl")));
    QCOMPARE(readAll(generation), m_lines);
    const QString folder = store::serverBackupFolder(options().root, m_location);
    QCOMPARE(QFileInfo(generation).absolutePath(), QFileInfo(folder).absoluteFilePath());
    QVERIFY(QFileInfo(folder).fileName().startsWith(QStringLiteral("server-バックアップ用-")));
    QCOMPARE(store::serverBackupLocation(folder), m_location);
    QCOMPARE(store::listGenerations(folder).first().entries, qint64(hostileEntries().size()));

    // Into a new file, twice: the second takes the next free name, and both export the same lines.
    const QString wanted = m_dir.filePath(QStringLiteral("戻した.dic"));
    for (const QString &expected : {wanted, m_dir.filePath(QStringLiteral("戻した-2.dic"))}) {
        const exchange::RestoredFile made = exchange::restoreGenerationToFile(generation, wanted);
        QCOMPARE(made.path, expected);
        QCOMPARE(made.entries, qint64(hostileEntries().size()));
        store::Dictionary file(made.path);
        QCOMPARE(exported(file), m_lines);
    }
}

void tst_serverbackup::restoreIntoTheServerKeepsWhatWasThere()
{
    const QString generation = exchange::backUpServerDictionary(m_location, options(), false);
    const auto d = server(QStringLiteral("バックアップ用"));
    const std::vector<qint32> numbers = d->entryNumbers();
    d->deleteEntry(numbers.front());
    d->addEntry(makeEntry(store::Viewer::Text, QStringLiteral("後から"), "later"), {QStringLiteral("あと")});
    const QByteArray changed = exported(*d);

    // A generation that does not read is refused before anything is touched.
    QFile broken(m_dir.filePath(QStringLiteral("broken.jsonl")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("{\"not\": \"ours\"}\n") > 0);
    broken.close();
    QVERIFY_THROWS_EXCEPTION(qm::exchange::ExchangeError,
                             exchange::restoreServerGeneration(broken.fileName(), m_location, options()));
    QCOMPARE(exported(*d), changed);

    exchange::restoreServerGeneration(generation, m_location, options());
    QCOMPARE(exported(*d), m_lines);
    QCOMPARE(d->entryNumbers(), numbers);
    // What the restore replaced is kept beside the generations and can be restored in turn.
    const QList<store::Generation> kept = store::listGenerations(store::serverBackupFolder(options().root, m_location));
    const auto before = std::find_if(kept.begin(), kept.end(), [](const store::Generation &g) { return g.beforeRestore; });
    QVERIFY(before != kept.end());
    QCOMPARE(readAll(before->path), changed);
}

void tst_serverbackup::rotationKeepsSevenDaysAndFourWeeks()
{
    store::BackupOptions o = options();
    o.root = m_dir.filePath(QStringLiteral("rotation"));
    // Forty days, one backup each, the last on a Sunday: the seven days of its week and the
    // Sundays of the three weeks before stay.
    const QDateTime last(QDate(2026, 11, 29), QTime(12, 0));
    for (int day = 39; day >= 0; --day)
        exchange::backUpServerDictionary(m_location, o, false, {}, last.addDays(-day));
    QList<QDate> kept;
    for (const store::Generation &g : store::listGenerations(store::serverBackupFolder(o.root, m_location)))
        kept.append(g.time.date());
    const QDate sunday = last.date();
    QCOMPARE(kept, (QList<QDate>{sunday, sunday.addDays(-1), sunday.addDays(-2), sunday.addDays(-3), sunday.addDays(-4),
                                 sunday.addDays(-5), sunday.addDays(-6), sunday.addDays(-7), sunday.addDays(-14),
                                 sunday.addDays(-21)}));
}

void tst_serverbackup::aSetRoundBacksUpItsServerMembers()
{
    const QString setFile = m_dir.filePath(QStringLiteral("DicSets.ini"));
    store::DictionarySetTable table;
    table.DictionarySetList[0] = store::DictionarySet(QStringLiteral("チーム"), {m_location});
    table.DictionarySetCount = 1;
    QVERIFY(qm::test::writeFile(setFile, "\xEF\xBB\xBF" + store::formatDictionarySets(table).toUtf8()));
    const QList<store::BackedUpFile> files = store::backedUpFiles(setFile);
    QCOMPARE(files.size(), 2);
    QVERIFY(files[1].isServer);
    QCOMPARE(files[1].setName, QStringLiteral("チーム"));

    // Without a way to back up servers, the round leaves them out as before; with one, it makes a generation.
    QCOMPARE(store::backUpSets(setFile, options(), false).size(), 1);
    const QList<store::BackupOutcome> outcomes = store::backUpSets(setFile, exchange::withServerBackups(options()), false);
    QCOMPARE(outcomes.size(), 2);
    QVERIFY(outcomes[1].ok());
    QCOMPARE(readAll(outcomes[1].generation), m_lines);
}

QTEST_GUILESS_MAIN(tst_serverbackup)
#include "tst_serverbackup.moc"
