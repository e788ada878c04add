#include "tests/common/stocksqlite.h"

#include "app/store/dictionary/dictionary.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace qm;
using test::stockSqlite;

// Each write of the program, killed (SIGKILL) again and again at moments that move from round
// to round, leaves sound files that hold each write whole or not at all.
class tst_WriteKill : public QObject
{
    Q_OBJECT

private slots:
    void modification();
    void deletion();
    void move();
    void setFile();

private:
    // Runs the child on the folder and kills it; false when it ended by itself.
    static bool runAndKill(const QString &op, const QString &folder, int round);
    static QString makeDictionary(const QString &path, const QStringList &keywords);
    // The rows of a query, one line each, columns joined by "|".
    static QString rows(const QString &path, const QString &sql) { return stockSqlite(path, sql); }
};

bool tst_WriteKill::runAndKill(const QString &op, const QString &folder, int round)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qm-write-child"), {op, folder});
    if (!p.waitForStarted())
        return false;
    while (p.state() == QProcess::Running && p.bytesAvailable() < 2)
        p.waitForReadyRead(5000);
    QTest::qWait(7 * round % 23);
    const bool running = p.state() == QProcess::Running;
    p.kill();
    p.waitForFinished(30000);
    return running;
}

QString tst_WriteKill::makeDictionary(const QString &path, const QStringList &keywords)
{
    store::Dictionary::CreateDictionary(path, QStringLiteral("辞書"), {}, {}, {false, false, false});
    if (!keywords.isEmpty()) {
        store::Dictionary d(path);
        store::Entry e;
        e.Viewer = 1;
        e.Heading = QStringLiteral("v0");
        e.Document = "v0";
        d.addEntry(e, keywords);
    }
    return path;
}

void tst_WriteKill::modification()
{
    QTemporaryDir dir;
    const QString path = makeDictionary(dir.filePath(QStringLiteral("A.dic")),
                                        {QStringLiteral("fixed"), QStringLiteral("v0-a"), QStringLiteral("v0-b")});
    for (int round = 0; round < 8; ++round) {
        QVERIFY(runAndKill(QStringLiteral("modify"), dir.path(), round));
        QCOMPARE(stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        // Heading, body and keywords all of one version.
        const QString v = rows(path, QStringLiteral("SELECT Heading FROM Document"));
        QVERIFY(rows(path, QStringLiteral("SELECT substr(CAST(Document AS TEXT), 1, length(Heading)) FROM Document")) == v);
        QCOMPARE(rows(path, QStringLiteral("SELECT group_concat(\"Index\", ' ') FROM (SELECT \"Index\" FROM \"Index\" "
                                           "ORDER BY \"Index\")")),
                 QStringLiteral("fixed %1-a %1-b").arg(v));
    }
}

void tst_WriteKill::deletion()
{
    QTemporaryDir dir;
    const QString path = makeDictionary(dir.filePath(QStringLiteral("A.dic")), {});
    for (int round = 0; round < 8; ++round) {
        QVERIFY(runAndKill(QStringLiteral("delete"), dir.path(), round));
        QCOMPARE(stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        // Every entry has its three keywords; no keyword outlives its entry.
        QCOMPARE(rows(path, QStringLiteral("SELECT count(*) FROM Document d WHERE (SELECT count(*) FROM \"Index\" i "
                                           "WHERE i.DocumentNumber = d.DocumentNumber AND i.\"Index\" LIKE d.Heading || '-_') <> 3")),
                 QStringLiteral("0"));
        QCOMPARE(rows(path, QStringLiteral("SELECT count(*) FROM \"Index\" WHERE DocumentNumber NOT IN "
                                           "(SELECT DocumentNumber FROM Document)")),
                 QStringLiteral("0"));
    }
}

void tst_WriteKill::move()
{
    QTemporaryDir dir;
    const QString a = makeDictionary(dir.filePath(QStringLiteral("A.dic")), {QStringLiteral("旅"), QStringLiteral("trip")});
    const QString b = makeDictionary(dir.filePath(QStringLiteral("B.dic")), {});
    for (int round = 0; round < 8; ++round) {
        QVERIFY(runAndKill(QStringLiteral("move"), dir.path(), round));
        int copies = 0;
        for (const QString &path : {a, b}) {
            QCOMPARE(stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
            const int n = rows(path, QStringLiteral("SELECT count(*) FROM Document")).toInt();
            copies += n;
            QCOMPARE(rows(path, QStringLiteral("SELECT count(*) FROM \"Index\"")).toInt(), 2 * n);
        }
        // In one dictionary, or in both when killed between the two commits; never lost.
        QVERIFY2(copies == 1 || copies == 2, qPrintable(QString::number(copies)));
        // The next run starts from a single copy.
        if (copies == 2) {
            store::Dictionary d(b);
            d.deleteEntry(qint32(rows(b, QStringLiteral("SELECT DocumentNumber FROM Document")).toInt()));
        }
    }
}

void tst_WriteKill::setFile()
{
    QTemporaryDir dir;
    const auto read = [&](const QString &name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (int round = 0; round < 8; ++round) {
        QVERIFY(runAndKill(QStringLiteral("setfile"), dir.path(), round));
        const QByteArray now = read(QStringLiteral("DicSets.ini"));
        QVERIFY(!read(QStringLiteral("odd.ini")).isEmpty());
        QVERIFY2(now == read(QStringLiteral("odd.ini")) || now == read(QStringLiteral("even.ini")), now.left(200).constData());
    }
}

QTEST_GUILESS_MAIN(tst_WriteKill)
#include "tst_writekill.moc"
