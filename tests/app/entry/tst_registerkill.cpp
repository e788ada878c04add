#include "tests/app/main/fixture.h"

#include <QProcess>
#include <QTest>

#include <sqlite3.h>

using namespace qm;

// A registration killed at any moment leaves a sound dictionary in which every entry is
// complete with all its keywords, or absent.
class tst_RegisterKill : public QObject
{
    Q_OBJECT

private slots:
    void killedWhileRegistering();
};

void tst_RegisterKill::killedWhileRegistering()
{
    test::ProgramFixture fixture;
    const QString path = fixture.dictionary(QStringLiteral("User.dic"), QStringLiteral("辞書"), {});
    fixture.writeSet({path});
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/qm-register-child");

    int registeredBefore = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess p;
        p.start(child, {fixture.dir.path()});
        QVERIFY(p.waitForStarted());
        // Let it get going, then kill it at a moment that moves from round to round.
        while (p.state() == QProcess::Running && p.bytesAvailable() < 8)
            p.waitForReadyRead(5000);
        QTest::qWait(7 * round % 23);
        QCOMPARE(p.state(), QProcess::Running);
        p.kill();
        QVERIFY(p.waitForFinished(30000));

        // The engine's own check, through a plain connection (which also rolls back what the
        // killed registration left in its journal).
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))), QByteArray("ok"));
        sqlite3_finalize(st);
        QList<QPair<qint32, QString>> rows;
        sqlite3_prepare_v2(db, "SELECT DocumentNumber, Heading FROM Document", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            rows.append({sqlite3_column_int(st, 0),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)))});
        sqlite3_finalize(st);
        sqlite3_close(db);

        store::Dictionary d(path);
        const qint64 entries = rows.size();
        QVERIFY(entries > registeredBefore);
        QCOMPARE(d.indexRowCount(), entries * 5);
        // Every entry has exactly its five keywords, in order.
        for (const auto &[n, heading] : rows) {
            const QString i = heading.mid(6);
            QCOMPARE(d.keywords(n), (QStringList{i + QStringLiteral("-0"), i + QStringLiteral("-1"), i + QStringLiteral("-2"),
                                                 i + QStringLiteral("-3"), i + QStringLiteral("-4")}));
        }
        registeredBefore = int(entries);
    }
}

QTEST_GUILESS_MAIN(tst_RegisterKill)
#include "tst_registerkill.moc"
