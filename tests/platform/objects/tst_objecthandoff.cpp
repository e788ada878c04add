#include "platform/objects/objecthandoff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using qm::objects::ObjectHandoff;

// The folders of copies handed to other programs: named after the process that made them, and
// removed by a later run once that process is gone.
class tst_objecthandoff final : public QObject
{
    Q_OBJECT

private slots:
    void copiesGoIntoAFolderNamedAfterTheProcess();
    void onlyFoldersOfGoneProcessesAreRemoved();
};

void tst_objecthandoff::copiesGoIntoAFolderNamedAfterTheProcess()
{
    const QString own = ObjectHandoff::folderPrefixOf(QCoreApplication::applicationPid());
    QVERIFY(own.startsWith(QStringLiteral("quillmere-objects-%1-").arg(QCoreApplication::applicationPid())));
    const std::optional<QString> copy =
        ObjectHandoff::fileFor(qm::objects::embedData(QStringLiteral("note.txt"), QStringLiteral("text/plain"), "x"));
    QVERIFY(copy);
    // <temporary folder>/<prefix>XXXXXX/<n>/note.txt
    const QString folder = QFileInfo(QFileInfo(*copy).absolutePath()).absolutePath();
    QCOMPARE(QFileInfo(folder).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    QVERIFY2(QFileInfo(folder).fileName().startsWith(own), qPrintable(folder));
    // Our own folder is never taken for a stale one.
    ObjectHandoff::removeStaleFolders();
    QVERIFY(QFile::exists(*copy));
}

void tst_objecthandoff::onlyFoldersOfGoneProcessesAreRemoved()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(sleeper.waitForStarted());
    const QString gone = ObjectHandoff::folderPrefixOf(sleeper.processId());
    QVERIFY(!gone.isEmpty());
    sleeper.kill();
    QVERIFY(sleeper.waitForFinished());
    QVERIFY(ObjectHandoff::folderPrefixOf(sleeper.processId()).isEmpty());

    const QString live = ObjectHandoff::folderPrefixOf(QCoreApplication::applicationPid());
    // Our process id with another start time: the id was given to us after the owner ended.
    const QString reused = QStringLiteral("quillmere-objects-%1-1-").arg(QCoreApplication::applicationPid());
    const QStringList stale = {gone + QStringLiteral("aB3dE6"), reused + QStringLiteral("zZ9yY8")};
    const QStringList kept = {live + QStringLiteral("qQ1wW2"), QStringLiteral("quillmere-objects-Ab1Cd2"),
                              QStringLiteral("other-%1-x").arg(sleeper.processId())};
    for (const QString &name : stale + kept)
        QVERIFY(QDir(temp.path()).mkpath(name + QStringLiteral("/1")));
    QFile file(temp.filePath(gone + QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QCOMPARE(ObjectHandoff::removeStaleFolders(temp.path()), 2);
    QStringList left = QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    left.sort();
    QStringList expected = kept + QStringList{gone + QStringLiteral("file")};
    expected.sort();
    QCOMPARE(left, expected);
}

QTEST_GUILESS_MAIN(tst_objecthandoff)
#include "tst_objecthandoff.moc"
