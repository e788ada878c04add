#include "app/store/compaction.h"
#include "app/store/dictionary.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace qm::store;
using qm::sqlite::Error;
using qm::sqlite::Statement;

namespace {

using qm::test::stockSqlite;

// Everything a compaction must keep: the rows, the properties and the file's marks.
QString contents(const QString &path)
{
    return stockSqlite(path, QStringLiteral(
        "SELECT group_concat(DocumentNumber || Viewer || Heading || hex(Document) || RenewalDate, '|') FROM Document;"
        "SELECT group_concat(\"Index\" || DocumentNumber, '|') FROM (SELECT * FROM \"Index\" ORDER BY rowid);"
        "SELECT group_concat(Name || Type || Value, '|') FROM Properties WHERE Name NOT IN ('FoldVersion', 'SearchIndexRows');"
        "PRAGMA application_id;"));
}

int lookupCount(const QString &path, const QString &pattern)
{
    Dictionary d(path);
    return d.searchKeyword(*qm::sqlite::LikePattern::compile(pattern), 100000, [](const KeywordMatch &) {});
}

} // namespace

class tst_compaction final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keepsEverythingAndRefoldsKeys();
    void failuresLeaveTheOriginalInUse();
    void cancelBeforeTheSwap();
    void killedAnywhereLeavesADictionary();

private:
    QString makeDictionary(int entries);
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_compaction::init()
{
    m_dir.~QTemporaryDir();
    new (&m_dir) QTemporaryDir;
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("User.dic"));
}

QString tst_compaction::makeDictionary(int entries)
{
    Dictionary::CreateDictionary(m_path, QStringLiteral("辞書"), QStringLiteral("作者"), {}, {true, false, true});
    Dictionary d(m_path);
    std::vector<Dictionary::NewEntry> batch;
    for (int i = 0; i < entries; ++i) {
        Entry e;
        e.Viewer = quint8(1 + i % 5);
        e.Heading = QStringLiteral("見出し%1").arg(i);
        e.Document = QByteArray(200 + i % 300, char('a' + i % 26));
        e.RenewalDate = QDateTime(QDate(2020, 1, 1 + i % 28), QTime(1, 2, 3));
        batch.push_back({e, {QStringLiteral("キー%1").arg(i), QStringLiteral("key%1").arg(i % 97)}});
    }
    d.addEntries(batch);
    // Deleted rows leave free pages for the compaction to drop.
    Statement(d.database(), "DELETE FROM Document WHERE DocumentNumber % 3 = 0").run();
    return m_path;
}

void tst_compaction::keepsEverythingAndRefoldsKeys()
{
    makeDictionary(3000);
    // Rows written by the stock tool have empty keys and are not found yet.
    stockSqlite(m_path, QStringLiteral("INSERT INTO Document (Viewer, Heading) VALUES (1, 'ｽﾄｯｸ');"
                                       "INSERT INTO \"Index\" (\"Index\", DocumentNumber) VALUES ('ＳＴＯＣＫ語', last_insert_rowid());"));
    QCOMPARE(lookupCount(m_path, QStringLiteral("stock*")), 0);
    const QString before = contents(m_path);
    const qint64 sizeBefore = QFileInfo(m_path).size();
    const QByteArray oldBytes = qm::test::readFile(m_path);
    // A leftover working copy of an earlier failure is overwritten.
    QVERIFY(qm::test::writeFile(compactionTempPath(m_path), "left over"));

    qint64 last = -1;
    bool monotonic = true;
    CompactDictionary(m_path, [&](qint64 done, qint64 total) {
        monotonic = monotonic && done >= last && done <= total;
        last = done;
        return true;
    });
    QVERIFY(monotonic);
    QVERIFY(last > 0);
    QCOMPARE(contents(m_path), before);
    QCOMPARE(stockSqlite(m_path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QVERIFY(QFileInfo(m_path).size() < sizeBefore);
    QCOMPARE(qm::test::readFile(m_dir.filePath(QStringLiteral("User.bak"))), oldBytes);
    QVERIFY(!QFile::exists(compactionTempPath(m_path)));
    QCOMPARE(lookupCount(m_path, QStringLiteral("stock*")), 1);
    QVERIFY(Dictionary::IsDictionaryFile(m_path));

    // Compacting again replaces the first backup with the second.
    const QByteArray compacted = qm::test::readFile(m_path);
    CompactDictionary(m_path);
    QCOMPARE(qm::test::readFile(m_dir.filePath(QStringLiteral("User.bak"))), compacted);
}

void tst_compaction::failuresLeaveTheOriginalInUse()
{
    makeDictionary(2000);
    const QByteArray original = qm::test::readFile(m_path);
    // A file size limit makes the copy fail the way a full disk does, even for root.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(original.size() / 4);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        CompactDictionary(m_path);
    } catch (const Error &) {
        failed = true;
    }
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
    QVERIFY(failed);
    QCOMPARE(qm::test::readFile(m_path), original);
    QVERIFY(!QFile::exists(compactionTempPath(m_path)));
    QVERIFY(lookupCount(m_path, QStringLiteral("key1*")) > 0);

    // Files that are not dictionaries, and missing ones, are refused with nothing changed.
    const QString text = m_dir.filePath(QStringLiteral("text.dic"));
    QVERIFY(qm::test::writeFile(text, "words"));
    QVERIFY_THROWS_EXCEPTION(Error, CompactDictionary(text));
    QCOMPARE(qm::test::readFile(text), QByteArray("words"));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("text.bak"))));
    QVERIFY_THROWS_EXCEPTION(Error, CompactDictionary(m_dir.filePath(QStringLiteral("none.dic"))));
}

void tst_compaction::cancelBeforeTheSwap()
{
    makeDictionary(2000);
    const QByteArray original = qm::test::readFile(m_path);
    // The last report comes just before the swap.
    const QString copy = m_dir.filePath(QStringLiteral("copy.dic"));
    QVERIFY(QFile::copy(m_path, copy));
    int reports = 0;
    CompactDictionary(copy, [&](qint64, qint64) { return ++reports > 0; });
    for (int stopAt : {1, 3, reports}) {
        int calls = 0;
        try {
            CompactDictionary(m_path, [&](qint64, qint64) { return ++calls < stopAt; });
            QFAIL("a cancelled compaction must say so");
        } catch (const Error &e) {
            QCOMPARE(e.kind(), Error::Kind::Cancelled);
        }
        QCOMPARE(qm::test::readFile(m_path), original);
        QVERIFY(!QFile::exists(compactionTempPath(m_path)));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("User.bak"))));
    }
}

void tst_compaction::killedAnywhereLeavesADictionary()
{
    makeDictionary(20000);
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/qm-compact-child");
    const auto runChild = [&](int killAfterMs) {
        QProcess p;
        p.start(child, {m_path});
        QVERIFY(p.waitForStarted());
        if (killAfterMs >= 0 && !p.waitForFinished(killAfterMs))
            p.kill();
        if (p.state() != QProcess::NotRunning)
            QVERIFY(p.waitForFinished(60000));
    };
    QElapsedTimer timer;
    timer.start();
    runChild(-1);
    const int full = int(timer.elapsed());
    const int expected = lookupCount(m_path, QStringLiteral("*"));
    QVERIFY(expected > 0);
    for (int step = 0; step <= 24; ++step) {
        runChild(full * step / 20);
        QVERIFY2(Dictionary::IsDictionaryFile(m_path), qPrintable(QStringLiteral("after a kill at step %1").arg(step)));
        QCOMPARE(lookupCount(m_path, QStringLiteral("*")), expected);
    }
}

QTEST_GUILESS_MAIN(tst_compaction)
#include "tst_compaction.moc"
