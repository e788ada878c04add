#include "app/cli/backupcommand.h"
#include "app/main/backupschedule.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/dictionaryset.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace qm;

class tst_backupcommand final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void backsUpEverySetAndReportsFailures();
    void scheduledRoundsSkipUnchangedFiles();
    void aFailingRoundIsToldOnce();
    void copiesOfKilledBackupsGoAtStart();
    void aDamagedDictionaryIsToldToBeRepaired();

private:
    // Writes a set file of two sets naming the files; the first file is in both.
    void writeSets(const QStringList &first, const QStringList &second);
    int run(QString &out, QString &err);
    QString dictionary(const QString &name);

    QTemporaryDir m_dir;
    QString m_setFile;
    store::BackupOptions m_options;
};

void tst_backupcommand::init()
{
    m_dir.~QTemporaryDir();
    new (&m_dir) QTemporaryDir;
    QVERIFY(m_dir.isValid());
    m_setFile = m_dir.filePath(QStringLiteral("DicSets.ini"));
    m_options = {};
    m_options.root = m_dir.filePath(QStringLiteral("backups"));
}

void tst_backupcommand::writeSets(const QStringList &first, const QStringList &second)
{
    store::DictionarySetTable table;
    table.DictionarySetList[0] = store::DictionarySet(QStringLiteral("一"), first);
    table.DictionarySetList[1] = store::DictionarySet(QStringLiteral("二"), second);
    table.DictionarySetCount = 2;
    table.OpenDictionarySetsIndex = 0;
    QVERIFY(test::writeFile(m_setFile, "\xEF\xBB\xBF" + store::formatDictionarySets(table).toUtf8()));
}

int tst_backupcommand::run(QString &out, QString &err)
{
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    return app::runBackup(m_setFile, m_options, outStream, errStream);
}

QString tst_backupcommand::dictionary(const QString &name)
{
    const QString path = m_dir.filePath(name);
    store::Dictionary::CreateDictionary(path, name, {}, {}, {false, false, false});
    return path;
}

void tst_backupcommand::backsUpEverySetAndReportsFailures()
{
    const QString a = dictionary(QStringLiteral("a.dic"));
    const QString b = dictionary(QStringLiteral("b.dic"));
    const QString missing = m_dir.filePath(QStringLiteral("missing.dic"));
    writeSets({a, b}, {a, missing});
    QString out;
    QString err;
    QCOMPARE(run(out, err), 1);
    QVERIFY2(err.contains(QStringLiteral("バックアップできませんでした: ") + missing), qPrintable(err));
    QVERIFY2(out.contains(QStringLiteral("3 個のファイルをバックアップしました"))
                 && out.contains(QStringLiteral("1 個のファイルはバックアップできませんでした")),
             qPrintable(out));
    for (const QString &file : {a, b, m_setFile})
        QCOMPARE(store::listGenerations(store::backupFolderFor(m_options.root, file)).size(), 1);

    writeSets({a, b}, {});
    out.clear();
    err.clear();
    QCOMPARE(run(out, err), 0);
    QVERIFY(err.isEmpty());

    // A set file that cannot be read is no generation, and the round fails.
    QVERIFY(test::writeFile(m_setFile, "\xEF\xBB\xBF[\xFF\xFE]\r\n"));
    out.clear();
    err.clear();
    QCOMPARE(run(out, err), 1);
    QVERIFY2(err.contains(QStringLiteral("辞書セットのファイルを読み取れない")), qPrintable(err));

    // Without a set file nothing is backed up, and that is a failure.
    QVERIFY(QFile::remove(m_setFile));
    QCOMPARE(run(out, err), 1);
    QVERIFY2(err.contains(QStringLiteral("見つからないため")), qPrintable(err));
}

void tst_backupcommand::scheduledRoundsSkipUnchangedFiles()
{
    const QString a = dictionary(QStringLiteral("a.dic"));
    const QString b = dictionary(QStringLiteral("b.dic"));
    writeSets({a, b}, {});
    const QString folderA = store::backupFolderFor(m_options.root, a);
    const QString folderB = store::backupFolderFor(m_options.root, b);
    {
        app::BackupSchedule schedule(m_setFile, [this] { return m_options; });
        schedule.start(std::chrono::milliseconds(10));
        QTRY_COMPARE(store::listGenerations(folderB).size(), 1);
        QTRY_VERIFY(!schedule.isRunning());
        // Only the changed dictionary gets a new generation at the end.
        QFile::remove(store::listGenerations(folderA).first().path);
        QFile::remove(store::listGenerations(folderB).first().path);
        {
            store::Dictionary d(a);
            d.setProperty(QStringLiteral("Comment"), QStringLiteral("changed"));
        }
        schedule.runAtExit();
    }
    QCOMPARE(store::listGenerations(folderA).size(), 1);
    QCOMPARE(store::listGenerations(folderB).size(), 0);

    // Switched off, nothing runs; switched on while the program runs, the next round backs up.
    QVERIFY(QDir(m_options.root).removeRecursively());
    m_options.enabled = false;
    app::BackupSchedule later(m_setFile, [this] { return m_options; });
    later.start(std::chrono::milliseconds(1));
    QTest::qWait(50);
    QVERIFY(!QFileInfo::exists(m_options.root));
    m_options.enabled = true;
    QTRY_COMPARE(store::listGenerations(folderA).size(), 1);
    m_options.enabled = false;
    QTRY_VERIFY(!later.isRunning());
    QVERIFY(QDir(m_options.root).removeRecursively());
    later.runAtExit();
    QVERIFY(!QFileInfo::exists(m_options.root));
}

void tst_backupcommand::aFailingRoundIsToldOnce()
{
    writeSets({dictionary(QStringLiteral("a.dic"))}, {});
    // The backup folder lies below a file, so nothing can be written there.
    const QString blocker = QFileInfo(m_setFile).absoluteDir().filePath(QStringLiteral("blocker"));
    QVERIFY(test::writeFile(blocker, "x"));
    m_options.root = blocker + QStringLiteral("/backups");
    app::BackupSchedule schedule(m_setFile, [this] { return m_options; });
    QSignalSpy told(&schedule, &app::BackupSchedule::roundFailed);
    schedule.start(std::chrono::milliseconds(5));
    QTRY_COMPARE(told.count(), 1);
    const QString message = told.at(0).at(0).toString();
    QVERIFY2(message.contains(QStringLiteral("a.dic")) && message.contains(QStringLiteral("書き込めません")),
             qPrintable(message));
    // Later rounds meet the same problem and say nothing more, nor does the last one.
    QTest::qWait(100);
    schedule.runAtExit();
    QCOMPARE(told.count(), 1);
}

void tst_backupcommand::copiesOfKilledBackupsGoAtStart()
{
    const QString a = dictionary(QStringLiteral("a.dic"));
    writeSets({a}, {});
    const QString folder = store::backupFolderFor(m_options.root, a);
    QVERIFY(QDir().mkpath(folder));
    QProcess killed;
    killed.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(killed.waitForStarted());
    const QString killedPid = QString::number(killed.processId());
    killed.kill();
    QVERIFY(killed.waitForFinished());
    QProcess running;
    running.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(running.waitForStarted());
    const auto copy = [](const QString &in, const QString &name, const QString &pid) {
        return QDir(in).filePath(QStringLiteral("$Temp$-%1-%2.tmp").arg(name, pid));
    };
    const QStringList stale{copy(folder, QStringLiteral("20261209-100000.dic"), killedPid),
                            copy(m_dir.path(), QStringLiteral("a.dic"), killedPid)};
    const QString kept = copy(folder, QStringLiteral("20261209-100001.dic"), QString::number(running.processId()));
    for (const QString &path : stale + QStringList{kept})
        QVERIFY(QFile::copy(a, path));

    app::BackupSchedule schedule(m_setFile, [this] { return m_options; });
    schedule.start();
    for (const QString &path : stale)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    QVERIFY(QFile::exists(kept));
    running.kill();
    running.waitForFinished();
}

void tst_backupcommand::aDamagedDictionaryIsToldToBeRepaired()
{
    const QString a = dictionary(QStringLiteral("a.dic"));
    writeSets({a}, {});
    QVERIFY(test::damagePage(a, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Document'")));
    app::BackupSchedule schedule(m_setFile, [this] { return m_options; });
    QSignalSpy told(&schedule, &app::BackupSchedule::roundFailed);
    schedule.runAtExit();
    QCOMPARE(told.count(), 1);
    const QString message = told.at(0).at(0).toString();
    QVERIFY2(message.contains(QStringLiteral("壊れている")) && message.contains(QStringLiteral("修復"))
                 && !message.contains(QStringLiteral("ｵﾌﾟｼｮﾝ")),
             qPrintable(message));
}

QTEST_GUILESS_MAIN(tst_backupcommand)
#include "tst_backupcommand.moc"
