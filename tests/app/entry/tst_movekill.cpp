#include "tests/app/main/fixture.h"
#include "tests/common/stocksqlite.h"

#include <QProcess>
#include <QTest>

using namespace qm;

// A move killed between the registration in the target and the deletion from the source leaves
// the entry in both dictionaries, complete, and both files sound.
class tst_MoveKill : public QObject
{
    Q_OBJECT

private slots:
    void killedBetweenTheTwoCommits();
};

void tst_MoveKill::killedBetweenTheTwoCommits()
{
    test::ProgramFixture fixture;
    const QStringList keywords{QStringLiteral("移動"), QStringLiteral("move")};
    const QString source = fixture.dictionary(QStringLiteral("A.dic"), QStringLiteral("元"),
                                              {{QStringLiteral("見出し"), 1, {}, keywords}});
    const QString target = fixture.dictionary(QStringLiteral("B.dic"), QStringLiteral("先"), {});
    fixture.writeSet({source, target});

    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qm-move-child"), {fixture.dir.path()});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);

    for (const QString &path : {source, target}) {
        QCOMPARE(test::stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        store::Dictionary d(path);
        QCOMPARE(d.documentRowCount(), 1);
        QCOMPARE(d.keywords(1), keywords);
        QCOMPARE(d.document(1)->Heading, QStringLiteral("見出し"));
    }
}

QTEST_GUILESS_MAIN(tst_MoveKill)
#include "tst_movekill.moc"
