#include "app/common/storemessages.h"
#include "app/store/care/autobackup.h"
#include "app/store/care/backup.h"
#include "app/store/care/compaction.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/dictionaryset.h"
#include "app/store/sets/openset.h"

#include "platform/desktop/scriptedprompter.h"
#include "platform/sqlite/statement.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace qm::store;
using qm::test::stockSqlite;

namespace {

void addEntries(const QString &path, int first, int count)
{
    Dictionary d(path);
    std::vector<Dictionary::NewEntry> batch;
    for (int i = first; i < first + count; ++i) {
        Entry e;
        e.Viewer = 1;
        e.Heading = QStringLiteral("見出し%1").arg(i);
        e.Document = QByteArray(300 + i % 200, char('a' + i % 26));
        batch.push_back({e, {QStringLiteral("キー%1").arg(i)}});
    }
    d.addEntries(batch);
}

qint64 entries(const QString &path)
{
    Dictionary d(path, {.readOnly = true, .progress = {}});
    return d.documentRowCount();
}

// The pages of the file that the system holds in its file cache.
qint64 cachedPages(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    uchar *map = file.map(0, file.size());
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> cached(std::size_t((file.size() + page - 1) / page));
    if (!map || ::mincore(map, std::size_t(file.size()), cached.data()) != 0)
        return -1;
    return std::count_if(cached.begin(), cached.end(), [](unsigned char c) { return (c & 1) != 0; });
}

QStringList fileNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class tst_backup final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void backupAndRestoreRoundTrip();
    void damagedDictionaryIsRestoredFromItsLastGeneration();
    void restoreLetsTheProgramGoOfItsDictionary();
    void unwritableFolderTouchesNothing();
    void pruningKeepsDailyAndWeeklyGenerations();
    void killedBackupsAndRestoresLeaveSoundFiles();
    void writeProtectedDictionaryIsNotReplaced();
    void aFailingFileNeverPrunesAPassingGeneration();
    void failuresNameTheirCauseAndRemedy_data();
    void failuresNameTheirCauseAndRemedy();
    void aLargeCopyIsWholeAndLeavesTheFileCache_data();
    void aLargeCopyIsWholeAndLeavesTheFileCache();

private:
    QString root() const { return m_dir.filePath(QStringLiteral("backups")); }
    QString folder() const { return backupFolderFor(root(), m_path); }
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_backup::init()
{
    m_dir.~QTemporaryDir();
    new (&m_dir) QTemporaryDir;
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("User.dic"));
    Dictionary::CreateDictionary(m_path, QStringLiteral("辞書"), QStringLiteral("作者"), {}, {true, false, true});
    addEntries(m_path, 0, 500);
}

void tst_backup::backupAndRestoreRoundTrip()
{
    QVERIFY(changedSinceBackup(m_path, root()));
    const QDateTime first(QDate(2026, 12, 1), QTime(10, 0, 0));
    const QString early = BackupDictionary(m_path, root(), {}, first);
    QCOMPARE(QFileInfo(early).fileName(), QStringLiteral("20261201-100000.dic"));
    QVERIFY(!changedSinceBackup(m_path, root()));
    // A second backup in the same second gets a name of its own, and a day keeps its newest.
    const QString generation = BackupDictionary(m_path, root(), {}, first);
    QCOMPARE(QFileInfo(generation).fileName(), QStringLiteral("20261201-100001.dic"));
    QVERIFY(!QFile::exists(early));
    QCOMPARE(stockSqlite(generation, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

    addEntries(m_path, 500, 10);
    QVERIFY(changedSinceBackup(m_path, root()));
    QList<Generation> listed = listGenerations(folder());
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().entries, 500);
    QCOMPARE(listed.first().time, first.addSecs(1));
    QCOMPARE(listed.first().size, QFileInfo(generation).size());

    // Restoring keeps the current file as a generation, so the restore can be undone.
    RestoreGeneration(generation, m_path, root(), {});
    QCOMPARE(entries(m_path), 500);
    listed = listGenerations(folder());
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed.first().entries, 510);
    RestoreGeneration(listed.first().path, m_path, root(), {});
    QCOMPARE(entries(m_path), 510);
    QVERIFY(!QFile::exists(compactionTempPath(m_path)));

    // A dictionary of the same name in another folder keeps its generations apart, and so does
    // the set file.
    QDir(m_dir.path()).mkdir(QStringLiteral("other"));
    const QString other = m_dir.filePath(QStringLiteral("other/User.dic"));
    QVERIFY(backupFolderFor(root(), other) != folder());
    QVERIFY(backupFolderFor(root(), m_dir.filePath(QStringLiteral("DicSets.ini"))) != folder());
}

void tst_backup::damagedDictionaryIsRestoredFromItsLastGeneration()
{
    BackupDictionary(m_path, root(), {}, QDateTime(QDate(2026, 12, 1), QTime(9, 0)));
    const QString last = BackupDictionary(m_path, root(), {}, QDateTime(QDate(2026, 12, 2), QTime(9, 0)));
    QVERIFY(qm::test::damagePage(m_path, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Document'")));
    QVERIFY(!Dictionary::IsDictionaryFile(m_path));
    const QByteArray damaged = qm::test::readFile(m_path);

    // A backup of the damaged file fails and leaves the good generations.
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, BackupDictionary(m_path, root(), {}));
    QCOMPARE(listGenerations(folder()).size(), 2);
    QVERIFY(!fileNames(folder()).join(QLatin1Char(' ')).contains(QStringLiteral(".tmp")));

    // Restoring refuses a damaged generation, then takes the good one.
    const QString broken = m_dir.filePath(QStringLiteral("broken.dic"));
    QVERIFY(qm::test::writeFile(broken, damaged));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, RestoreGeneration(broken, m_path, root(), {}));
    QCOMPARE(qm::test::readFile(m_path), damaged);

    QString releasedPath;
    RestoreGeneration(last, m_path, root(), {}, [&](const QString &path, const std::function<void()> &swap) {
        releasedPath = path;
        swap();
    });
    QCOMPARE(releasedPath, QFileInfo(m_path).absoluteFilePath());
    QVERIFY(Dictionary::IsDictionaryFile(m_path));
    QCOMPARE(entries(m_path), 500);
    // The damaged file is kept whole, outside the generations.
    const QStringList kept = QDir(folder()).entryList({QStringLiteral("*-damaged.dic")});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(qm::test::readFile(QDir(folder()).filePath(kept.first())), damaged);
    QCOMPARE(listGenerations(folder()).size(), 2);
}

void tst_backup::restoreLetsTheProgramGoOfItsDictionary()
{
    const QString generation = BackupDictionary(m_path, root(), {});
    addEntries(m_path, 500, 10);
    qm::desktop::ScriptedPrompter prompter;
    OpenSet program(qm::app::setFailuresTo(prompter));
    const DictionarySet set(QStringLiteral("セット"), {m_path});
    program.open(&set);
    QVERIFY(program.dictionary(0));
    // Held by the program, the file is not replaced behind its back.
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, RestoreGeneration(generation, m_path, root(), {}));
    QCOMPARE(entries(m_path), 510);
    QVERIFY(!QFile::exists(compactionTempPath(m_path)));

    RestoreGeneration(generation, m_path, root(), {}, [&](const QString &path, const std::function<void()> &swap) {
        program.releaseWhile(path, swap);
    });
    QVERIFY(program.dictionary(0));
    QCOMPARE(program.dictionary(0)->documentRowCount(), 500);
}

void tst_backup::unwritableFolderTouchesNothing()
{
    const QByteArray before = qm::test::readFile(m_path);
    const QString blocker = m_dir.filePath(QStringLiteral("file"));
    QVERIFY(qm::test::writeFile(blocker, "x"));
    const QString badRoot = blocker + QStringLiteral("/backups");
    const QString generation = BackupDictionary(m_path, root(), {});
    for (const auto &work : std::initializer_list<std::function<void()>>{
             [&] { BackupDictionary(m_path, badRoot, {}); },
             [&] { RestoreGeneration(generation, m_path, badRoot, {}); }}) {
        try {
            work();
            QFAIL("an unwritable backup folder must be refused");
        } catch (const qm::sqlite::Error &e) {
            const QString text = qm::app::errorText(e);
            QVERIFY2(text.contains(QStringLiteral("バックアップ先のフォルダー")) && text.contains(QStringLiteral("書き込めません")),
                     qPrintable(text));
        }
        QCOMPARE(qm::test::readFile(m_path), before);
        QCOMPARE(qm::test::readFile(blocker), QByteArray("x"));
        QVERIFY(!QFile::exists(compactionTempPath(m_path)));
    }

    // A backup stopped part way leaves the generations as they were and nothing beside them.
    const QString folder = backupFolderFor(root(), m_path);
    const QStringList kept = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    qint64 lastDone = -1, lastTotal = 0;
    const Progress stopAtOnce = [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        return false;
    };
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, BackupDictionary(m_path, root(), {}, QDateTime::currentDateTime(), stopAtOnce));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), kept);
    QVERIFY(lastDone >= 0 && lastTotal > 0);
    // Let through, it is told of every page.
    BackupDictionary(m_path, root(), {}, QDateTime::currentDateTime().addDays(1), [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
        return true;
    });
    QCOMPARE(lastDone, lastTotal);
}

void tst_backup::pruningKeepsDailyAndWeeklyGenerations()
{
    // Three generations a day over five weeks, the newest on Wednesday 2026-12-09.
    QList<QDateTime> times;
    const QDate newest(2026, 12, 9);
    for (int day = 0; day < 35; ++day)
        for (int hour : {8, 12, 18})
            times.append(QDateTime(newest.addDays(-day), QTime(hour, 0)));
    const QList<QDateTime> dropped = generationsToDrop(times, {7, 4});
    QList<QDateTime> kept;
    for (const QDateTime &t : times)
        if (!dropped.contains(t))
            kept.append(t);
    std::sort(kept.begin(), kept.end(), std::greater<>());
    QList<QDateTime> expected;
    for (int day = 0; day < 7; ++day) // the last seven days, their newest each
        expected.append(QDateTime(newest.addDays(-day), QTime(18, 0)));
    // The newest of the four latest weeks (Monday to Sunday): this week and the last are among
    // the days; the two before are kept by their Sundays.
    expected.append(QDateTime(QDate(2026, 11, 29), QTime(18, 0)));
    expected.append(QDateTime(QDate(2026, 11, 22), QTime(18, 0)));
    QCOMPARE(kept, expected);
    // Whatever the counts, the newest stays.
    QCOMPARE(generationsToDrop(times, {0, 0}).size(), times.size() - 1);

    // In a folder: files dropped, other files and a running backup's temporary file kept, a
    // dead process's temporary removed.
    QVERIFY(QDir().mkpath(folder()));
    for (int day = 0; day < 10; ++day)
        QVERIFY(qm::test::writeFile(QDir(folder()).filePath(newest.addDays(-day).toString(QStringLiteral("yyyyMMdd"))
                                                           + QStringLiteral("-120000.dic")), "x"));
    QVERIFY(qm::test::writeFile(QDir(folder()).filePath(QStringLiteral("$Temp$-x.dic-999999999.tmp")), "x"));
    QVERIFY(qm::test::writeFile(QDir(folder()).filePath(QStringLiteral("notes.txt")), "x"));
    pruneGenerations(folder(), {3, 0});
    QCOMPARE(fileNames(folder()),
             QStringList({QStringLiteral("20261207-120000.dic"), QStringLiteral("20261208-120000.dic"),
                          QStringLiteral("20261209-120000.dic"), QStringLiteral("notes.txt")}));
}

void tst_backup::killedBackupsAndRestoresLeaveSoundFiles()
{
    addEntries(m_path, 500, 15000);
    const qint64 oldCount = entries(m_path);
    // The generation restored lives outside the folder, which pruning keeps to one a day.
    const QString old = m_dir.filePath(QStringLiteral("old.dic"));
    QVERIFY(QFile::copy(BackupDictionary(m_path, root(), {}), old));
    addEntries(m_path, 20000, 10);
    const qint64 newCount = entries(m_path);
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/qm-backup-child");
    const auto run = [&](const QStringList &args, int killAfterMs) {
        QProcess p;
        p.start(child, args);
        QVERIFY(p.waitForStarted());
        if (killAfterMs >= 0 && !p.waitForFinished(killAfterMs))
            p.kill();
        if (p.state() != QProcess::NotRunning)
            QVERIFY(p.waitForFinished(60000));
    };
    const auto checkFiles = [&](const QString &what, int step) {
        const QString where = QStringLiteral("%1, kill at step %2").arg(what).arg(step);
        QVERIFY2(Dictionary::IsDictionaryFile(m_path), qPrintable(where));
        const qint64 count = entries(m_path);
        QVERIFY2(count == oldCount || count == newCount, qPrintable(where));
        for (const Generation &g : listGenerations(folder()))
            QVERIFY2(stockSqlite(g.path, QStringLiteral("PRAGMA integrity_check")) == QLatin1String("ok"),
                     qPrintable(where + QLatin1Char(' ') + g.path));
    };
    const QList<QStringList> commands{{QStringLiteral("backup"), m_path, root()},
                                      {QStringLiteral("restore"), old, m_path, root()}};
    for (const QStringList &args : commands) {
        QElapsedTimer timer;
        timer.start();
        run(args, -1);
        const int full = int(timer.elapsed());
        for (int step = 0; step <= 36; ++step) {
            run(args, full * step / 30);
            checkFiles(args.first(), step);
            if (QTest::currentTestFailed())
                return;
            // Undo a finished restore, so each round starts from the newer content again.
            if (args.first() == QLatin1String("restore") && entries(m_path) == oldCount)
                RestoreGeneration(listGenerations(folder()).first().path, m_path, root(), {.daily = 100, .weekly = 100});
        }
    }
    // The next backup and restore clear what killed ones left behind.
    BackupDictionary(m_path, root(), {});
    RestoreGeneration(old, m_path, root(), {});
    QVERIFY(!fileNames(folder()).join(QLatin1Char(' ')).contains(QStringLiteral(".tmp")));
    QVERIFY(!fileNames(m_dir.path()).join(QLatin1Char(' ')).contains(QStringLiteral(".tmp")));
}

void tst_backup::writeProtectedDictionaryIsNotReplaced()
{
    const QString generation = BackupDictionary(m_path, root(), {});
    addEntries(m_path, 500, 10);
    const QByteArray current = qm::test::readFile(m_path);
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    try {
        RestoreGeneration(generation, m_path, root(), {});
        QFAIL("a write-protected dictionary must not be replaced");
    } catch (const qm::sqlite::Error &e) {
        QCOMPARE(e.kind(), qm::sqlite::Error::Kind::ReadOnly);
    }
    QCOMPARE(qm::test::readFile(m_path), current);
    QCOMPARE(listGenerations(folder()).size(), 1);
}

void tst_backup::aFailingFileNeverPrunesAPassingGeneration()
{
    const GenerationPolicy onePerDay{.daily = 1, .weekly = 0};
    const QString setFile = m_dir.filePath(QStringLiteral("DicSets.ini"));
    DictionarySetTable table;
    table.DictionarySetList[0] = DictionarySet(QStringLiteral("一"), {m_path});
    table.DictionarySetCount = 1;
    const QByteArray good = "\xEF\xBB\xBF" + formatDictionarySets(table).toUtf8();
    const QByteArray damaged = "\xEF\xBB\xBF[\xFF\xFE]\r\n";
    QVERIFY(qm::test::writeFile(setFile, good));
    const BackupOptions options{.enabled = true, .root = root(), .policy = onePerDay};
    const QString setFolder = backupFolderFor(root(), setFile);
    QVERIFY(backUpSets(setFile, options, false).first().ok());
    const QString goodGeneration = listGenerations(setFolder).first().path;

    QVERIFY(qm::test::writeFile(setFile, damaged));
    QVERIFY(!backUpSets(setFile, options, false).first().ok());
    QCOMPARE(listGenerations(setFolder).size(), 1);
    QCOMPARE(qm::test::readFile(goodGeneration), good);

    // A restore keeps the file it replaces apart from the generations it counts.
    RestoreSetFile(goodGeneration, setFile, options);
    QCOMPARE(qm::test::readFile(setFile), good);
    const QList<Generation> listed = listGenerations(setFolder);
    QCOMPARE(listed.size(), 2);
    QVERIFY(listed.first().beforeRestore);
    QCOMPARE(qm::test::readFile(listed.first().path), damaged);
    QCOMPARE(listed.last().path, goodGeneration);
    // A generation that is no set file is refused, and the set file stays.
    QVERIFY(qm::test::writeFile(goodGeneration, QByteArray("\xff\xfe\x00garbage", 10)));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, RestoreSetFile(goodGeneration, setFile, options));
    QCOMPARE(qm::test::readFile(setFile), good);
    QCOMPARE(listGenerations(setFolder).size(), 2);

    const QString dictionaryGeneration = BackupDictionary(m_path, root(), onePerDay);
    addEntries(m_path, 500, 5);
    RestoreGeneration(dictionaryGeneration, m_path, root(), onePerDay);
    QVERIFY(QFile::exists(dictionaryGeneration));
}

void tst_backup::failuresNameTheirCauseAndRemedy_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("said");
    QTest::addColumn<BackupRemedy>("remedy");
    QTest::newRow("damaged dictionary") << "damaged" << "壊れている" << BackupRemedy::RepairDictionary;
    QTest::newRow("full disk") << "full" << "空き容量が足りない" << BackupRemedy::FreeSpace;
    QTest::newRow("folder under a file") << "blocked" << "書き込めません" << BackupRemedy::ChangeFolder;
}

void tst_backup::failuresNameTheirCauseAndRemedy()
{
    QFETCH(QString, cause);
    QFETCH(QString, said);
    QFETCH(BackupRemedy, remedy);
    addEntries(m_path, 500, 2000);
    QString into = root();
    if (cause == QLatin1String("damaged"))
        QVERIFY(qm::test::damagePage(m_path, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Document'")));
    if (cause == QLatin1String("blocked")) {
        QVERIFY(qm::test::writeFile(m_dir.filePath(QStringLiteral("file")), "x"));
        into = m_dir.filePath(QStringLiteral("file/backups"));
    }
    // A file size limit fails the writes the way a full disk does, even for root.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(QFileInfo(m_path).size() / 3);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, cause == QLatin1String("full") ? &small : &old), 0);
    std::optional<qm::sqlite::Error> failure;
    try {
        BackupDictionary(m_path, into, {});
    } catch (const qm::sqlite::Error &e) {
        failure = e;
    }
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
    QVERIFY(failure);
    QString words = qm::app::errorText(*failure);
    words.remove(QRegularExpression(QRegularExpression::escape(m_dir.path()) + QStringLiteral("\\S*")));
    QVERIFY2(words.contains(said) && !words.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))),
             qPrintable(qm::app::errorText(*failure)));
    QCOMPARE(backupRemedy(*failure), remedy);
}

void tst_backup::aLargeCopyIsWholeAndLeavesTheFileCache_data()
{
    QTest::addColumn<bool>("writtenMidway");
    QTest::newRow("copied in one go") << false;
    QTest::newRow("dictionary written midway, copy started again") << true;
}

// A copy several times the slices it is written out in is whole, also when a write to the
// dictionary makes the engine start it again; once kept, it leaves the file cache, where the
// program's lookups want the dictionaries.
void tst_backup::aLargeCopyIsWholeAndLeavesTheFileCache()
{
    QFETCH(bool, writtenMidway);
    {
        // Object bodies are not read for their text, so the file grows quickly.
        Dictionary d(m_path);
        std::vector<Dictionary::NewEntry> batch;
        for (int i = 0; i < 2500; ++i)
            batch.push_back({{.Viewer = 5, .Heading = QStringLiteral("大%1").arg(i), .Document = QByteArray(9000, char('a' + i % 26))},
                             {QStringLiteral("大きい%1").arg(i)}});
        d.addEntries(batch);
    }
    bool written = false;
    const QString generation = BackupDictionary(m_path, root(), {}, QDateTime::currentDateTime(), [&](qint64 done, qint64 total) {
        if (writtenMidway && !written && done * 2 > total) {
            written = true;
            addEntries(m_path, 10000, 1);
        }
        return true;
    });
    QCOMPARE(written, writtenMidway);
    QCOMPARE(cachedPages(generation), 0);
    QCOMPARE(stockSqlite(generation, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QCOMPARE(entries(generation), entries(m_path));
}

QTEST_GUILESS_MAIN(tst_backup)
#include "tst_backup.moc"
