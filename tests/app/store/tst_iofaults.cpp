#include "tests/common/faultvfs.h"

#include "app/common/storemessages.h"
#include "app/store/care/backup.h"
#include "app/store/care/compaction.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/sqlite/error.h"
#include "platform/text/textfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>

using namespace qm;
using test::FaultVfs;

namespace {

// Everything a dictionary holds, read through a plain connection.
QString contents(const QString &path)
{
    sqlite3 *db = nullptr;
    QString out;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("<cannot open>");
    }
    for (const char *sql : {"PRAGMA integrity_check",
                            "SELECT DocumentNumber, Viewer, Heading, hex(Document) FROM Document ORDER BY 1",
                            "SELECT DocumentNumber, \"Index\" FROM \"Index\" ORDER BY rowid"}) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                out += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

bool japanese(const QString &message)
{
    return std::any_of(message.cbegin(), message.cend(), [](QChar c) { return c.unicode() >= 0x3000; });
}

// Runs the operation with the Nth write, sync or creation failing (and every one after it);
// returns what the user is told of the failure, empty when it completed.
QString runFailingAt(int n, const std::function<void()> &operation)
{
    QString reported;
    FaultVfs::arm(n);
    try {
        operation();
    } catch (const sqlite::Error &e) {
        reported = qm::app::describeFailure(e);
    }
    FaultVfs::disarm();
    return reported;
}

store::Entry entry(const QString &heading)
{
    store::Entry e;
    e.Viewer = 1;
    e.Heading = heading;
    e.Document = QByteArray(3000, 'x'); // more than a page, so a write spans several
    e.RenewalDate = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
    return e;
}

} // namespace

// Every write path meets a full disk or a failing device at each of its writes, syncs and file
// creations in turn: it reports the failure in words for the user, and each file holds what it
// held before or the complete change, never a part of it.
class tst_IoFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void dictionaryWrites_data();
    void dictionaryWrites();
    void compaction();
    void setFile();
    void backupAndRestore();

private:
    // The base file: two entries with keywords.
    QString makeBase(const QString &name);

    QTemporaryDir m_dir;
};

void tst_IoFaults::initTestCase()
{
    FaultVfs::install();
}

void tst_IoFaults::cleanup()
{
    FaultVfs::disarm();
    text::setWriteFaultHook({});
}

QString tst_IoFaults::makeBase(const QString &name)
{
    // Made once, then copied: a copy is much faster than a new dictionary.
    const QString base = m_dir.filePath(QStringLiteral("base.dic"));
    if (!QFile::exists(base)) {
        store::Dictionary::CreateDictionary(base, QStringLiteral("辞書"), {}, {}, {false, false, false});
        store::Dictionary d(base);
        d.addEntry(entry(QStringLiteral("一")), {QStringLiteral("いち"), QStringLiteral("one")});
        d.addEntry(entry(QStringLiteral("二")), {QStringLiteral("に"), QStringLiteral("two")});
    }
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    if (!QFile::copy(base, path))
        qFatal("cannot copy the base dictionary");
    return path;
}

using Operation = std::function<void(store::Dictionary &a, store::Dictionary &b)>;
Q_DECLARE_METATYPE(Operation)

void tst_IoFaults::dictionaryWrites_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::newRow("register") << Operation([](store::Dictionary &a, store::Dictionary &) {
        a.addEntry(entry(QStringLiteral("三")), {QStringLiteral("さん"), QStringLiteral("three")});
    });
    QTest::newRow("modify") << Operation([](store::Dictionary &a, store::Dictionary &) {
        a.beginEditSession();
        a.addKeyword(1, QStringLiteral("ひとつ"));
        a.deleteKeyword(1, QStringLiteral("one"));
        store::Entry e = entry(QStringLiteral("一番"));
        e.DocumentNumber = 1;
        a.updateEntry(e);
        a.commitEditSession();
    });
    QTest::newRow("delete") << Operation([](store::Dictionary &a, store::Dictionary &) {
        a.beginEditSession();
        a.deleteEntry(2);
        a.commitEditSession();
    });
    // The new-entry window registers in the target, then the entry leaves its dictionary.
    QTest::newRow("move") << Operation([](store::Dictionary &a, store::Dictionary &b) {
        b.addEntry(*a.document(2), a.keywords(2));
        a.deleteEntry(2);
    });
}

void tst_IoFaults::dictionaryWrites()
{
    QFETCH(Operation, operation);
    const QString source = makeBase(QStringLiteral("A.dic"));
    const QString target = makeBase(QStringLiteral("B.dic"));
    const QString a0 = contents(source), b0 = contents(target);
    // The complete change, made once without faults.
    {
        store::Dictionary a(source), b(target);
        operation(a, b);
    }
    const QString a1 = contents(source), b1 = contents(target);
    QVERIFY(a1 != a0 || b1 != b0);

    int faultPoints = 0;
    for (int n = 1;; ++n) {
        QVERIFY2(n < 400, "the operation never completes");
        makeBase(QStringLiteral("A.dic"));
        makeBase(QStringLiteral("B.dic"));
        QString reported;
        {
            store::Dictionary a(source), b(target);
            reported = runFailingAt(n, [&] { operation(a, b); });
            if (FaultVfs::failures() == 0)
                break;
            ++faultPoints;
            // Whatever the connection could not undo is undone when the file is opened again.
            try {
                if (a.inEditSession())
                    a.rollbackEditSession();
            } catch (const sqlite::Error &) {
            }
        }
        const QString a = contents(source), b = contents(target);
        const QString where = QStringLiteral("fault at step %1").arg(n);
        QVERIFY2(a == a0 || a == a1, qPrintable(where + QStringLiteral(": source half changed\n") + a));
        QVERIFY2(b == b0 || b == b1, qPrintable(where + QStringLiteral(": target half changed\n") + b));
        // A failure is reported, never taken for success, and a move never loses the entry.
        QVERIFY2(!(a == a1 && b == b1) || reported.isEmpty(), qPrintable(where));
        QVERIFY2((a == a1 && b == b1) || japanese(reported), qPrintable(where + QStringLiteral(": ") + reported));
        QVERIFY2(!(a == a1 && b == b0) || QTest::currentDataTag() != QByteArray("move"), qPrintable(where));
    }
    QVERIFY(faultPoints > 3);
    qInfo("%s: %d fault points", QTest::currentDataTag(), faultPoints);
}

void tst_IoFaults::compaction()
{
    const QString path = makeBase(QStringLiteral("C.dic"));
    {
        store::Dictionary d(path);
        d.deleteEntry(1);
    }
    const QString before = contents(path);
    QFile::copy(path, m_dir.filePath(QStringLiteral("C.orig")));
    int faultPoints = 0;
    for (int n = 1;; ++n) {
        QVERIFY2(n < 400, "the compaction never completes");
        QFile::remove(path);
        QFile::copy(m_dir.filePath(QStringLiteral("C.orig")), path);
        const QString reported = runFailingAt(n, [&] { store::CompactDictionary(path); });
        if (FaultVfs::failures() == 0)
            break;
        ++faultPoints;
        // The dictionary is there under its name, whole, with what it held.
        QCOMPARE(contents(path), before);
        QVERIFY2(reported.isEmpty() || japanese(reported), qPrintable(reported));
        QVERIFY(store::Dictionary::IsDictionaryFile(path));
    }
    QVERIFY(faultPoints > 3);
    qInfo("compaction: %d fault points", faultPoints);
}

void tst_IoFaults::setFile()
{
    QTemporaryDir folder;
    desktop::ScriptedPrompter prompter;
    store::DatabaseModule module(qm::app::storeHost(prompter), folder.path());
    module.LoadDictionarySets();
    QVERIFY(QFile::exists(module.setFilePath()));
    const auto read = [&] {
        QFile f(module.setFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray old = read();
    module.sets().rename(0, QStringLiteral("新しい名前"));

    for (const text::WriteStep failing : {text::WriteStep::Open, text::WriteStep::Write, text::WriteStep::Commit}) {
        text::setWriteFaultHook([&](const QString &, text::WriteStep step) { return step == failing ? ENOSPC : 0; });
        prompter.clear();
        QVERIFY(!module.SaveDictionarySets());
        QCOMPARE(read(), old);
        QCOMPARE(prompter.texts().size(), 1);
        QVERIFY(prompter.texts().constFirst().startsWith(QStringLiteral("辞書セットファイル")));
        // No stray working file is left beside it (a kept copy of the old file may be).
        for (const QString &name : QDir(folder.path()).entryList({QStringLiteral("DicSets*")}, QDir::Files))
            QVERIFY2(name == QLatin1String("DicSets.ini") || name.startsWith(QLatin1String("DicSets.ini.bak")),
                     qPrintable(name));
    }
    text::setWriteFaultHook({});
    QVERIFY(module.SaveDictionarySets());
    QVERIFY(read() != old);
}

void tst_IoFaults::backupAndRestore()
{
    // A good generation of the base content, then a change to the live dictionary.
    const QString path = makeBase(QStringLiteral("D.dic"));
    const QString root = m_dir.filePath(QStringLiteral("backups"));
    const QString folder = store::backupFolderFor(root, path);
    const store::GenerationPolicy policy;
    const QDateTime day = QDateTime(QDate(2026, 1, 5), QTime(9, 0));
    const QString good = store::BackupDictionary(path, root, policy, day);
    const QString old = contents(path);
    {
        store::Dictionary d(path);
        d.addEntry(entry(QStringLiteral("三")), {QStringLiteral("さん")});
    }
    const QString changed = contents(path);
    const auto names = [&] { return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); };
    const auto everyGenerationSound = [&] {
        for (const store::Generation &g : store::listGenerations(folder))
            if (!contents(g.path).startsWith(QStringLiteral("ok|")))
                return false;
        return true;
    };

    // A backup that meets a fault leaves the dictionary and the earlier generations as they were.
    const QStringList before = names();
    int faultPoints = 0;
    for (int n = 1;; ++n) {
        QVERIFY2(n < 400, "the backup never completes");
        const QString reported = runFailingAt(n, [&] { store::BackupDictionary(path, root, policy, day.addDays(1)); });
        if (FaultVfs::failures() == 0)
            break;
        ++faultPoints;
        QVERIFY2(japanese(reported), qPrintable(QStringLiteral("step %1: %2").arg(n).arg(reported)));
        QCOMPARE(contents(path), changed);
        QCOMPARE(names(), before);
    }
    QVERIFY(faultPoints > 3);
    QVERIFY(everyGenerationSound());

    // A restore that meets a fault leaves the dictionary whole, with its old or restored content.
    faultPoints = 0;
    for (int n = 1;; ++n) {
        QVERIFY2(n < 400, "the restore never completes");
        const QString reported = runFailingAt(n, [&] { store::RestoreGeneration(good, path, root, policy); });
        const QString now = contents(path);
        if (FaultVfs::failures() == 0) {
            QCOMPARE(now, old);
            break;
        }
        ++faultPoints;
        QVERIFY2(now == changed || (now == old && reported.isEmpty()), qPrintable(QStringLiteral("step %1").arg(n)));
        QVERIFY2(now == old || japanese(reported), qPrintable(reported));
        QVERIFY(everyGenerationSound());
    }
    QVERIFY(faultPoints > 3);
    QVERIFY(everyGenerationSound());
}

QTEST_GUILESS_MAIN(tst_IoFaults)
#include "tst_iofaults.moc"
