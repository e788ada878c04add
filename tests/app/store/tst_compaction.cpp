#include "app/store/care/backup.h"
#include "app/store/care/compaction.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/distribution.h"
#include "app/store/dictionary/fileattributes.h"
#include "app/common/storemessages.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace qm::store;
using qm::sqlite::Statement;

namespace {

using qm::test::stockSqlite;

// Everything a compaction must keep: the rows, the properties and the file's marks.
QString contents(const QString &path)
{
    return stockSqlite(path, QStringLiteral(
        "SELECT group_concat(DocumentNumber || Viewer || Heading || hex(Document) || RenewalDate, '|') FROM Document;"
        "SELECT group_concat(\"Index\" || DocumentNumber, '|') FROM (SELECT * FROM \"Index\" ORDER BY rowid);"
        "SELECT group_concat(Name || Type || Value, '|') FROM Properties WHERE Name NOT IN ('FoldVersion', 'SearchIndexRows', 'CompactionBackup');"
        "PRAGMA application_id;"));
}

int lookupCount(const QString &path, const QString &pattern)
{
    Dictionary d(path);
    return d.searchKeyword(*qm::sqlite::LikePattern::compile(pattern), 100000, [](const KeywordMatch &) {});
}

Entry someEntry()
{
    Entry e;
    e.Viewer = 1;
    e.Heading = QStringLiteral("見出し");
    return e;
}

// Another program that holds a dictionary, driven one command at a time (see holdchild.cpp).
class OtherProgram final
{
public:
    OtherProgram()
    {
        m_process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/qm-hold-child"), QStringList());
        m_process.waitForStarted();
    }
    ~OtherProgram()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    OtherProgram(const OtherProgram &) = delete;
    OtherProgram &operator=(const OtherProgram &) = delete;

    QString ask(const QString &command)
    {
        m_process.write(command.toUtf8() + '\n');
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(30000))
                return QStringLiteral("<no answer>");
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
};

// Expects the refusal that names the dictionary another program holds.
void expectInUse(const std::function<void()> &work, const QString &path)
{
    try {
        work();
        QFAIL("a dictionary another program holds must be refused");
    } catch (const qm::sqlite::Error &e) {
        const QString reason = qm::app::describeFailure(e);
        QVERIFY2(reason.contains(QDir::toNativeSeparators(path)) && reason.contains(QStringLiteral("ほかのプログラムが使用中です")),
                 qPrintable(reason));
    }
}

struct Attributes {
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    QByteArray note; // a user attribute
    bool operator==(const Attributes &) const = default;
};

Attributes attributesOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    char note[64] = {};
    const ssize_t size = ::getxattr(QFile::encodeName(path).constData(), "user.note", note, sizeof note);
    return {st.st_mode & 07777, st.st_uid, st.st_gid, QByteArray(note, int(qMax<ssize_t>(size, 0)))};
}

// Gives a file the mode, a note attribute and, where the test may, another owner and group.
void setAttributes(const QString &path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    ::setxattr(name.constData(), "user.note", "kept", 4, 0);
    if (::geteuid() == 0)
        QVERIFY(::chown(name.constData(), 4321, 4322) == 0);
    QVERIFY(::chmod(name.constData(), mode) == 0);
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
    void aDictionaryAnotherProgramHoldsIsNotReplaced();
    void aFilePutInPlaceIsFollowed();
    void aKilledProgramsUnfinishedWriteStaysOut();
    void writesMeetingAnotherProgramsLockNameTheDictionary();
    void writeProtectedDictionariesAreRefused();
    void workingCopiesBelongToOneProcess();
    void replacementsKeepTheFilesAttributes_data();
    void replacementsKeepTheFilesAttributes();
    void onlyItsOwnEarlierBackupIsReplaced();

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
    const CompactionSizes sizes = CompactDictionary(m_path, [&](qint64 done, qint64 total) {
        monotonic = monotonic && done >= last && done <= total;
        last = done;
        return true;
    });
    QVERIFY(monotonic);
    QVERIFY(last > 0);
    QCOMPARE(contents(m_path), before);
    QCOMPARE(stockSqlite(m_path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QVERIFY(QFileInfo(m_path).size() < sizeBefore);
    QCOMPARE(sizes.before, sizeBefore);
    QCOMPARE(sizes.after, QFileInfo(m_path).size());
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
    } catch (const qm::sqlite::Error &) {
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
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, CompactDictionary(text));
    QCOMPARE(qm::test::readFile(text), QByteArray("words"));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("text.bak"))));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, CompactDictionary(m_dir.filePath(QStringLiteral("none.dic"))));
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
        } catch (const qm::sqlite::Error &e) {
            QCOMPARE(e.kind(), qm::sqlite::Error::Kind::Cancelled);
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

void tst_compaction::aDictionaryAnotherProgramHoldsIsNotReplaced()
{
    makeDictionary(200);
    const QString other = m_dir.filePath(QStringLiteral("other.dic"));
    QVERIFY(QFile::copy(m_path, other));
    {
        OtherProgram program;
        QCOMPARE(program.ask(QStringLiteral("open ") + m_path), QStringLiteral("ok"));
        QCOMPARE(program.ask(QStringLiteral("begin")), QStringLiteral("ok"));
        QCOMPARE(program.ask(QStringLiteral("add heldword")), QStringLiteral("ok"));
        expectInUse([&] { CompactDictionary(m_path); }, m_path);
        const CopyOutcome copied = copyDictionaryFile(other, m_path);
        QVERIFY(!copied.ok);
        QVERIFY(copied.reason);
        const QString reason = qm::app::errorText(*copied.reason);
        QVERIFY2(reason.contains(QStringLiteral("ほかのプログラムが使用中です")), qPrintable(reason));
        QVERIFY(!QFile::exists(compactionBackupPath(m_path)));
        QVERIFY(!QFile::exists(compactionTempPath(m_path)));
        // The other program's update lands in the file under the name.
        QCOMPARE(program.ask(QStringLiteral("commit")), QStringLiteral("ok"));
        QCOMPARE(lookupCount(m_path, QStringLiteral("heldword")), 1);
        // This program's own holders count as well.
        Dictionary mine(m_path);
        program.ask(QStringLiteral("close"));
        expectInUse([&] { CompactDictionary(m_path); }, m_path);
    }
    CompactDictionary(m_path);
    QCOMPARE(lookupCount(m_path, QStringLiteral("heldword")), 1);
}

void tst_compaction::aFilePutInPlaceIsFollowed()
{
    makeDictionary(50);
    const QString replacement = m_dir.filePath(QStringLiteral("replacement.dic"));
    QVERIFY(QFile::copy(m_path, replacement));
    Dictionary(replacement).addEntry(someEntry(), {QStringLiteral("newword")});
    OtherProgram program;
    QCOMPARE(program.ask(QStringLiteral("open ") + m_path), QStringLiteral("ok"));
    QCOMPARE(program.ask(QStringLiteral("count newword")), QStringLiteral("0"));
    // A program that does not lock renames a file over the name.
    QCOMPARE(::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(m_path).constData()), 0);
    QCOMPARE(program.ask(QStringLiteral("count newword")), QStringLiteral("1"));
    QCOMPARE(program.ask(QStringLiteral("add laterword")), QStringLiteral("ok"));
    QCOMPARE(lookupCount(m_path, QStringLiteral("laterword")), 1);
    QCOMPARE(stockSqlite(m_path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

void tst_compaction::aKilledProgramsUnfinishedWriteStaysOut()
{
    makeDictionary(50);
    const QString before = contents(m_path);
    {
        OtherProgram program;
        QCOMPARE(program.ask(QStringLiteral("open ") + m_path), QStringLiteral("ok"));
        QCOMPARE(program.ask(QStringLiteral("begin")), QStringLiteral("ok"));
        // More than the connection's cache holds: pages of the session reach the file.
        for (int i = 0; i < 24; ++i)
            QCOMPARE(program.ask(QStringLiteral("big lost%1").arg(i)), QStringLiteral("ok"));
        QVERIFY(QFileInfo(m_path + QStringLiteral("-journal")).size() > 0);
        program.kill();
    }
    CompactDictionary(m_path);
    QVERIFY(!QFile::exists(m_path + QStringLiteral("-journal")));
    QCOMPARE(stockSqlite(m_path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QCOMPARE(contents(m_path), before);
    QCOMPARE(lookupCount(m_path, QStringLiteral("lost*")), 0);
}

void tst_compaction::writesMeetingAnotherProgramsLockNameTheDictionary()
{
    makeDictionary(20);
    OtherProgram program;
    QCOMPARE(program.ask(QStringLiteral("open ") + m_path), QStringLiteral("ok"));
    QCOMPARE(program.ask(QStringLiteral("begin")), QStringLiteral("ok"));
    Dictionary mine(m_path);
    QElapsedTimer waited;
    waited.start();
    expectInUse([&] { mine.addEntry(someEntry(), {QStringLiteral("mine")}); }, m_path);
    QVERIFY(waited.elapsed() >= 1000);
    expectInUse([&] { mine.beginEditSession(); }, m_path);
    QCOMPARE(program.ask(QStringLiteral("commit")), QStringLiteral("ok"));
    // Once the other program is done, the same write goes through.
    mine.addEntry(someEntry(), {QStringLiteral("mine")});
    QCOMPARE(stockSqlite(m_path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

void tst_compaction::writeProtectedDictionariesAreRefused()
{
    makeDictionary(50);
    const QByteArray original = qm::test::readFile(m_path);
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    try {
        CompactDictionary(m_path);
        QFAIL("a write-protected dictionary must not be compacted");
    } catch (const qm::sqlite::Error &e) {
        QCOMPARE(e.kind(), qm::sqlite::Error::Kind::ReadOnly);
        QVERIFY(qm::app::errorText(e).contains(QStringLiteral("読み取り専用")));
    }
    QCOMPARE(QFileInfo(m_path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
    QCOMPARE(qm::test::readFile(m_path), original);
    QVERIFY(!QFile::exists(compactionBackupPath(m_path)));
}

void tst_compaction::workingCopiesBelongToOneProcess()
{
    const QString other = m_dir.filePath(QStringLiteral("Other.dic"));
    QVERIFY(compactionTempPath(m_path) != compactionTempPath(other));
    QVERIFY(compactionTempPath(m_path).contains(QString::number(QCoreApplication::applicationPid())));
    // One process that has ended and one that runs.
    QProcess ended;
    ended.start(QStringLiteral("true"), QStringList());
    QVERIFY(ended.waitForStarted());
    const qint64 endedPid = ended.processId();
    QVERIFY(endedPid > 0 && ended.waitForFinished());
    QProcess running;
    running.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(running.waitForStarted());
    const auto copyOf = [&](const QString &base, qint64 pid) {
        return m_dir.filePath(QStringLiteral("$Temp$-%1-%2.tmp").arg(base, QString::number(pid)));
    };
    const QStringList stale{copyOf(QStringLiteral("User.dic"), endedPid),
                            copyOf(QStringLiteral("User.dic"), endedPid) + QStringLiteral("-journal")};
    const QStringList kept{copyOf(QStringLiteral("User.dic"), running.processId()), compactionTempPath(other),
                           m_dir.filePath(QStringLiteral("$Temp$-notes.txt")),
                           // A dictionary of the user's whose name looks alike.
                           m_dir.filePath(QStringLiteral("$Temp$-x-%1.dic").arg(endedPid))};
    for (const QString &path : stale + kept)
        QVERIFY(qm::test::writeFile(path, "copy"));
    removeStaleCompactionCopies(m_dir.path());
    for (const QString &path : stale)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    for (const QString &path : kept)
        QVERIFY2(QFile::exists(path), qPrintable(path));
    running.kill();
    running.waitForFinished();
}

void tst_compaction::replacementsKeepTheFilesAttributes_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("group may read") << 0640;
    QTest::newRow("others may read") << 0604;
    QTest::newRow("owner only") << 0600;
}

void tst_compaction::replacementsKeepTheFilesAttributes()
{
    QFETCH(int, mode);
    const QString fresh = m_dir.filePath(QStringLiteral("fresh.dic"));
    makeDictionary(50);
    QVERIFY(qm::test::writeFile(fresh, "new"));
    setAttributes(m_path, mode_t(mode));
    const Attributes kept = attributesOf(m_path);
    keepFileAttributes(m_path, fresh);
    QCOMPARE(attributesOf(fresh), kept);

    CompactDictionary(m_path);
    QCOMPARE(attributesOf(m_path), kept);
    const QString root = m_dir.filePath(QStringLiteral("backups"));
    const QString generation = BackupDictionary(m_path, root, {});
    QCOMPARE(attributesOf(generation), kept);
    RestoreGeneration(generation, m_path, root, {});
    QCOMPARE(attributesOf(m_path), kept);
    // A distributed dictionary copied over the file.
    const QString offered = m_dir.filePath(QStringLiteral("offered.dic"));
    Dictionary::CreateDictionary(offered, QStringLiteral("配布"), {}, {}, {});
    QVERIFY(copyDictionaryFile(offered, m_path).ok);
    QCOMPARE(attributesOf(m_path), kept);
}

void tst_compaction::onlyItsOwnEarlierBackupIsReplaced()
{
    makeDictionary(50);
    // Another dictionary of the set under the name of the backup.
    const QString member = m_dir.filePath(QStringLiteral("User.bak"));
    Dictionary::CreateDictionary(member, QStringLiteral("別の辞書"), {}, {}, {});
    const QByteArray memberBytes = qm::test::readFile(member);

    const QString first = CompactDictionary(m_path).backup;
    QCOMPARE(first, m_dir.filePath(QStringLiteral("User.bak1")));
    const QByteArray compacted = qm::test::readFile(m_path);
    QCOMPARE(CompactDictionary(m_path).backup, first);
    QCOMPARE(qm::test::readFile(first), compacted);
    // A backup written to since is no longer taken for one.
    Dictionary(first).addEntry(someEntry(), {QStringLiteral("later")});
    QCOMPARE(CompactDictionary(m_path).backup, m_dir.filePath(QStringLiteral("User.bak2")));
    QCOMPARE(lookupCount(first, QStringLiteral("later")), 1);
    QCOMPARE(qm::test::readFile(member), memberBytes);
}

QTEST_GUILESS_MAIN(tst_compaction)
#include "tst_compaction.moc"
