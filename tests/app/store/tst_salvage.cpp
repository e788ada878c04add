#include "app/common/storemessages.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/sets/dictionaryset.h"
#include "app/store/sets/openset.h"
#include "app/store/care/salvage.h"

#include "platform/desktop/scriptedprompter.h"

#include "platform/sqlite/likepattern.h"
#include "tests/common/searchrows.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <set>

using namespace qm::store;
using qm::test::stockSqlite;

namespace {

constexpr int EntryCount = 400;

QString damagedName()
{
    return QStringLiteral("壊れた #1%41?.dic");
}

Entry sampleEntry(int i)
{
    Entry e;
    e.Viewer = quint8(1 + i % 4);
    e.Heading = QStringLiteral("見出し%1").arg(i);
    // Bodies of every byte value, of different lengths, so a byte out of place shows.
    QByteArray body(150 + (i * 37) % 250, '\0');
    for (qsizetype k = 0; k < body.size(); ++k)
        body[k] = char((i * 31 + k * 7) & 0xff);
    e.Document = body;
    e.RenewalDate = QDateTime(QDate(2026, 1 + i % 12, 1 + i % 28), QTime(i % 24, 0, 0));
    return e;
}

QStringList sampleKeywords(int i)
{
    return {QStringLiteral("語%1あ").arg(i), QStringLiteral("key%1").arg(i)};
}

// The rowids held by the leaf pages of a table, page by page in key order, read with the stock
// tool's page statistics while the file is sound.
QList<QPair<qint64, QList<qint64>>> leafPages(const QString &path, const QString &table)
{
    const QStringList leaves =
        stockSqlite(path,
                    QStringLiteral("SELECT pageno || ' ' || ncell FROM dbstat WHERE name = '%1' "
                                   "AND pagetype = 'leaf' ORDER BY path")
                        .arg(table))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList rowids =
        stockSqlite(path, QStringLiteral("SELECT rowid FROM \"%1\" ORDER BY rowid").arg(table))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QList<QPair<qint64, QList<qint64>>> pages;
    qsizetype next = 0;
    for (const QString &leaf : leaves) {
        const QStringList parts = leaf.split(QLatin1Char(' '));
        QList<qint64> rows;
        for (int n = 0; n < parts[1].toInt(); ++n)
            rows.append(rowids[next++].toLongLong());
        pages.append({parts[0].toLongLong(), rows});
    }
    return pages;
}

QString rootPageOf(const QString &name)
{
    return QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '%1'").arg(name);
}

bool damage(const QString &path, qint64 page)
{
    return qm::test::damagePage(path, QStringLiteral("SELECT %1").arg(page));
}

// Damages every page of a table or an index.
bool damageAll(const QString &path, const QString &name)
{
    const QStringList pages =
        stockSqlite(path, QStringLiteral("SELECT pageno FROM dbstat WHERE name = '%1'").arg(name)).split(QLatin1Char('\n'));
    return std::all_of(pages.begin(), pages.end(), [&path](const QString &page) { return damage(path, page.toLongLong()); });
}

QStringList lookup(Dictionary &d, const QString &pattern, int limit = 100)
{
    QStringList found;
    d.searchKeyword(*qm::sqlite::LikePattern::compile(pattern), limit,
                    [&found](const KeywordMatch &m) { found.append(m.Index); });
    return found;
}

} // namespace

class tst_salvage final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void damagedEntryPagesLoseOnlyTheirRows();
    void damagedKeywordPageLosesOnlyItsKeywords();
    void incompleteEntriesAreMarkedAndCountsAddUp_data();
    void incompleteEntriesAreMarkedAndCountsAddUp();
    void damagedEndOfALongBodyLosesTheEntry();
    void headerOrTailDamageStillGivesEntries_data();
    void headerOrTailDamageStillGivesEntries();
    void randomBytesGiveAnEntryOrAMessage();
    void unreadableFileGivesNoFile();
    void cancelAndTakenNameLeaveNoFile();
    void targetsThatMustNotBeLostAreRefused_data();
    void targetsThatMustNotBeLostAreRefused();
    void replacedFileKeepsItsMode();
    void damagedMembersGoToTheHandler();

private:
    QString target() const { return m_dir.filePath(QStringLiteral("救出.dic")); }
    // Only the damaged file, and no temporary or side file anywhere in the folder.
    void verifyFolderHoldsOnly(const QStringList &names) const;
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_salvage::initTestCase()
{
    // A zone whose clocks skip an hour in spring: a stored time in that hour is still a date.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
}

void tst_salvage::init()
{
    m_dir.~QTemporaryDir();
    new (&m_dir) QTemporaryDir;
    QVERIFY(m_dir.isValid());
    // Characters that mean something in a URI are only part of the name.
    m_path = m_dir.filePath(damagedName());
    Dictionary::CreateDictionary(m_path, QStringLiteral("古い辞書"), QStringLiteral("作者"),
                                 QStringLiteral("説明"), {false, true, false});
    Dictionary d(m_path);
    std::vector<Dictionary::NewEntry> batch;
    for (int i = 1; i <= EntryCount; ++i) {
        Entry e = sampleEntry(i);
        // Numbers with gaps: the salvage keeps them as they are.
        e.DocumentNumber = i * 3;
        batch.push_back({e, sampleKeywords(i)});
    }
    d.addEntries(batch, Dictionary::Numbering::Keep);
}

void tst_salvage::verifyFolderHoldsOnly(const QStringList &names) const
{
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);
}

void tst_salvage::damagedEntryPagesLoseOnlyTheirRows()
{
    const auto pages = leafPages(m_path, QStringLiteral("Document"));
    QVERIFY(pages.size() >= 8);
    const QString noIndex = m_dir.filePath(QStringLiteral("noindex.dic"));
    QVERIFY(QFile::copy(m_path, noIndex));
    // The first and the last leaf, and two apart in the middle.
    std::set<qint64> lost;
    for (const qsizetype k : {qsizetype(0), qsizetype(3), qsizetype(5), pages.size() - 1}) {
        QVERIFY(damage(m_path, pages[k].first));
        QVERIFY(damage(noIndex, pages[k].first));
        lost.insert(pages[k].second.begin(), pages[k].second.end());
    }
    // Without the entry numbers' index, the walk of the table alone must find its way past the
    // damaged pages; the rows lost on them are still known from their keywords.
    QVERIFY(qm::test::damagePage(noIndex, rootPageOf(QStringLiteral("Index_DocumentHeading"))));
    const SalvageReport walked = SalvageDictionary(noIndex, m_dir.filePath(QStringLiteral("walked.dic")));
    QCOMPARE(walked.entriesSaved, qint64(EntryCount) - qint64(lost.size()));
    QCOMPARE(walked.entriesLost, qint64(lost.size()));
    QVERIFY(QFile::remove(noIndex));
    QVERIFY(QFile::remove(m_dir.filePath(QStringLiteral("walked.dic"))));

    QVERIFY(!Dictionary::IsDictionaryFile(m_path));
    const QByteArray before = qm::test::readFile(m_path);

    const SalvageReport report = SalvageDictionary(m_path, target());
    QCOMPARE(report.entriesLost, qint64(lost.size()));
    QCOMPARE(report.entriesSaved, qint64(EntryCount) - qint64(lost.size()));
    QCOMPARE(report.keywordsSaved, 2 * report.entriesSaved);
    QCOMPARE(report.keywordsLost, 2 * report.entriesLost);

    // The damaged file is only read: its bytes as they were, and nothing made beside it.
    QCOMPARE(qm::test::readFile(m_path), before);
    verifyFolderHoldsOnly({damagedName(), QStringLiteral("救出.dic")});

    QCOMPARE(stockSqlite(target(), QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    Dictionary saved(target());
    QCOMPARE(saved.property(QStringLiteral("DictionaryName")).toString(),
             QStringLiteral("古い辞書"));
    QCOMPARE(saved.property(QStringLiteral("Comment")).toString(), QStringLiteral("説明"));
    QCOMPARE(saved.property(QStringLiteral("AuthorLock")).toBool(), true);
    for (int i = 1; i <= EntryCount; ++i) {
        const std::optional<Entry> e = saved.document(i * 3);
        QCOMPARE(e.has_value(), !lost.count(i * 3));
        if (!e)
            continue;
        const Entry want = sampleEntry(i);
        QCOMPARE(e->Document, want.Document);
        QCOMPARE(e->Heading, want.Heading);
        QCOMPARE(e->Viewer, want.Viewer);
        QCOMPARE(e->RenewalDate, want.RenewalDate);
        QCOMPARE(saved.keywords(i * 3), sampleKeywords(i));
    }
    // Lookups find the keys through the index a normal write builds, prefix and contained.
    int kept = 1;
    while (lost.count(kept * 3))
        ++kept;
    QCOMPARE(lookup(saved, QStringLiteral("語%1あ").arg(kept)),
             QStringList{QStringLiteral("語%1あ").arg(kept)});
    QVERIFY(lookup(saved, QStringLiteral("*ey%1").arg(kept))
                .contains(QStringLiteral("key%1").arg(kept)));
}

void tst_salvage::damagedKeywordPageLosesOnlyItsKeywords()
{
    const auto pages = leafPages(m_path, QStringLiteral("Index"));
    QVERIFY(pages.size() >= 3);
    const QString withIndex = m_dir.filePath(QStringLiteral("withindex.dic"));
    QVERIFY(damage(m_path, pages[1].first));
    QVERIFY(QFile::copy(m_path, withIndex));
    const qint64 onPage = pages[1].second.size();

    // The keyword index holds every column of the rows: from it they all come back.
    const QString fromIndex = m_dir.filePath(QStringLiteral("fromindex.dic"));
    const SalvageReport whole = SalvageDictionary(withIndex, fromIndex);
    QCOMPARE(whole.entriesSaved, qint64(EntryCount));
    QCOMPARE(whole.keywordsSaved, 2 * EntryCount);
    Dictionary rescued(fromIndex);
    for (int i = 1; i <= EntryCount; ++i)
        QCOMPARE(rescued.keywords(i * 3), sampleKeywords(i));

    QVERIFY(damageAll(m_path, QStringLiteral("Index_Index")));
    const SalvageReport report = SalvageDictionary(m_path, target(), {}, {}, qm::app::incompleteMark());
    QCOMPARE(report.entriesSaved + report.entriesIncomplete, qint64(EntryCount));
    QCOMPARE(report.entriesLost, 0);
    QCOMPARE(report.keywordsLost, onPage);
    QCOMPARE(report.keywordsSaved, 2 * EntryCount - onPage);
    // Each entry that lost a keyword carries the mark besides the keywords that read.
    QCOMPARE(stockSqlite(target(), QStringLiteral("SELECT count(*) FROM \"Index\"")),
             QString::number(report.keywordsSaved + report.entriesIncomplete));
}

void tst_salvage::incompleteEntriesAreMarkedAndCountsAddUp_data()
{
    // Read through the file's tree, or page by page when its first page is gone too.
    QTest::addColumn<bool>("firstPage");
    QTest::newRow("tree") << false;
    QTest::newRow("pages") << true;
}

void tst_salvage::incompleteEntriesAreMarkedAndCountsAddUp()
{
    QFETCH(bool, firstPage);
    // A time the zone's clocks skip is kept as stored; a date the store never writes is not.
    const QString skipped = QStringLiteral("2026-03-29 02:30:00");
    // No date (as the store writes it, and NULL) is no damage.
    stockSqlite(m_path, QStringLiteral("UPDATE Document SET RenewalDate = '%1' WHERE rowid = 3;"
                                       "UPDATE Document SET RenewalDate = '2026/03/29' WHERE rowid = 6;"
                                       "UPDATE Document SET RenewalDate = '' WHERE rowid = 9;"
                                       "UPDATE Document SET RenewalDate = NULL WHERE rowid = 12")
                            .arg(skipped));
    const auto entryPages = leafPages(m_path, QStringLiteral("Document"));
    const auto keywordPages = leafPages(m_path, QStringLiteral("Index"));
    QVERIFY(keywordPages.size() >= 3 && entryPages.size() >= 3);
    const QList<qint64> keywordRows = keywordPages[1].second;
    QStringList rowList;
    for (const qint64 row : keywordRows)
        rowList.append(QString::number(row));
    const QStringList owners = stockSqlite(m_path, QStringLiteral("SELECT DocumentNumber FROM \"Index\" WHERE rowid IN (%1)")
                                                       .arg(rowList.join(QLatin1Char(','))))
                                   .split(QLatin1Char('\n'));
    const std::set<qint64> lost(entryPages[2].second.begin(), entryPages[2].second.end());
    std::set<qint64> incomplete{6};
    // Keyword rows lost: those on the damaged page, and those of the lost entries elsewhere.
    qint64 keywordsLost = 2 * qint64(lost.size());
    for (const QString &owner : owners) {
        const bool ofLost = lost.count(owner.toLongLong());
        keywordsLost += ofLost ? 0 : 1;
        if (!ofLost)
            incomplete.insert(owner.toLongLong());
    }
    QVERIFY(!lost.count(3) && !lost.count(6) && !lost.count(9) && !lost.count(12));
    QVERIFY(damage(m_path, keywordPages[1].first));
    QVERIFY(damageAll(m_path, QStringLiteral("Index_Index")));
    QFile file(m_path);
    QVERIFY(!firstPage || (file.open(QIODevice::ReadWrite) && file.write(QByteArray(4096, '\0')) == 4096));
    file.close();
    QVERIFY(damage(m_path, entryPages[2].first));

    const SalvageReport report = SalvageDictionary(m_path, target(), {}, {}, qm::app::incompleteMark());
    QCOMPARE(report.entriesLost, qint64(lost.size()));
    QCOMPARE(report.entriesIncomplete, qint64(incomplete.size()));
    QCOMPARE(report.entriesSaved + report.entriesIncomplete + report.entriesLost, qint64(EntryCount));
    std::set<qint64> named;
    for (const IncompleteEntry &e : report.incomplete)
        named.insert(e.number);
    QVERIFY(named == incomplete);
    QCOMPARE(report.keywordsLost, keywordsLost);
    QCOMPARE(report.keywordsSaved, qint64(2 * EntryCount) - keywordsLost);

    QCOMPARE(stockSqlite(target(), QStringLiteral("SELECT RenewalDate FROM Document WHERE rowid = 3")), skipped);
    Dictionary saved(target());
    QCOMPARE(lookup(saved, qm::app::incompleteMark(), 1000).size(), qsizetype(incomplete.size()));
    QVERIFY(saved.keywords(6).contains(qm::app::incompleteMark()));
    QVERIFY(!saved.keywords(3).contains(qm::app::incompleteMark()));
}

void tst_salvage::damagedEndOfALongBodyLosesTheEntry()
{
    // A body over three pages; the engine reads the last page of its chain without checking it.
    Entry big = sampleEntry(1);
    big.Document = QByteArray(10000, 'b');
    // No date: only the heading key comes after the body.
    big.RenewalDate = QDateTime();
    const qint32 number = Dictionary(m_path).addEntry(big, {QStringLiteral("大きい")});
    const QString lastPage = QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'Document' AND pagetype = 'overflow' "
                                            "ORDER BY path DESC LIMIT 1");
    const QString copy = m_dir.filePath(QStringLiteral("zeroed.dic"));
    QVERIFY(QFile::copy(m_path, copy));
    QVERIFY(qm::test::damagePage(m_path, lastPage));

    const SalvageReport report = SalvageDictionary(m_path, target());
    QCOMPARE(report.entriesLost, 1);
    QCOMPARE(report.entriesSaved, qint64(EntryCount));
    QVERIFY(!Dictionary(target()).document(number));

    // A zeroed last page ends the chain as a sound one does: what lies on it shows in the row's
    // last field, so the entry is saved as incomplete.
    QFile file(copy);
    const qint64 page = stockSqlite(copy, lastPage).toLongLong();
    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek((page - 1) * 4096) && file.write(QByteArray(4096, '\0')) == 4096);
    file.close();
    const QString zeroedTarget = m_dir.filePath(QStringLiteral("zeroed-saved.dic"));
    const SalvageReport zeroed = SalvageDictionary(copy, zeroedTarget);
    QCOMPARE(zeroed.entriesIncomplete, 1);
    QCOMPARE(zeroed.entriesSaved, qint64(EntryCount));
    QCOMPARE(zeroed.incomplete.front().number, number);
}

void tst_salvage::headerOrTailDamageStillGivesEntries_data()
{
    // Bytes written over the file's start; the pages from `tail` (a part of the file, 1 for
    // none) overwritten, or the file cut there.
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<double>("tail");
    QTest::addColumn<bool>("cut");
    const QByteArray zeroed(4096, '\0');
    QTest::newRow("first page") << zeroed << 1.0 << false;
    QTest::newRow("page size in the header") << QByteArray("SQLite format 3\0\x02\x00", 18) << 1.0 << false;
    QTest::newRow("tail cut") << QByteArray() << 0.7 << true;
    QTest::newRow("tail overwritten") << QByteArray() << 0.7 << false;
    QTest::newRow("first page and tail cut") << zeroed << 0.6 << true;
}

void tst_salvage::headerOrTailDamageStillGivesEntries()
{
    QFETCH(QByteArray, start);
    QFETCH(double, tail);
    QFETCH(bool, cut);
    const qint64 pageSize = stockSqlite(m_path, QStringLiteral("PRAGMA page_size")).toLongLong();
    const qint64 pages = QFileInfo(m_path).size() / pageSize;
    const qint64 tailPage = qint64(tail * double(pages)) + 1;
    // The entries on leaf pages the damage leaves whole.
    std::set<qint64> whole;
    for (const auto &[page, rows] : leafPages(m_path, QStringLiteral("Document")))
        if (page < tailPage)
            whole.insert(rows.begin(), rows.end());
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.write(start) == start.size());
    if (cut)
        QVERIFY(file.resize((tailPage - 1) * pageSize));
    else if (tailPage <= pages)
        QVERIFY(file.seek((tailPage - 1) * pageSize) && file.write(QByteArray((pages - tailPage + 1) * pageSize, '\x7f')) > 0);
    file.close();

    SalvageReport report;
    try {
        report = SalvageDictionary(m_path, target(), {}, {}, qm::app::incompleteMark());
    } catch (const qm::sqlite::Error &e) {
        QFAIL(qPrintable(qm::app::errorText(e)));
    }
    QCOMPARE(report.entriesSaved + report.entriesIncomplete, qint64(whole.size()));
    QVERIFY(report.entriesSaved + report.entriesIncomplete + report.entriesLost <= EntryCount);
    QCOMPARE(stockSqlite(target(), QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    Dictionary saved(target());
    if (tail == 1.0)
        QCOMPARE(saved.property(QStringLiteral("DictionaryName")).toString(), QStringLiteral("古い辞書"));
    for (const qint64 number : whole) {
        const std::optional<Entry> e = saved.document(qint32(number));
        QVERIFY(e);
        const Entry want = sampleEntry(int(number / 3));
        QCOMPARE(e->Document, want.Document);
        QCOMPARE(e->Heading, want.Heading);
        QCOMPARE(e->Viewer, want.Viewer);
        QCOMPARE(e->RenewalDate, want.RenewalDate);
        QStringList keywords = saved.keywords(qint32(number));
        if (!keywords.removeAll(qm::app::incompleteMark()))
            QCOMPARE(keywords, sampleKeywords(int(number / 3)));
    }
}

void tst_salvage::randomBytesGiveAnEntryOrAMessage()
{
    // Runs of random bytes (lengths, offsets, page numbers among them) give a sound file or a
    // message, whether the file is read through its tree or, without its first page, page by
    // page. Long bodies make overflow chains.
    Entry big = sampleEntry(1);
    for (int i = 0; i < 20; ++i) {
        big.Document = QByteArray(5000 + 3000 * i, char(i));
        Dictionary(m_path).addEntry(big, {QStringLiteral("長い")});
    }
    const QByteArray original = qm::test::readFile(m_path);
    QRandomGenerator random(20261209);
    for (int round = 0; round < 40; ++round) {
        QByteArray bytes = original;
        if (round % 2 == 0)
            std::fill_n(bytes.begin(), 4096, '\0');
        for (int run = 0; run < 1 + round % 8; ++run) {
            const qsizetype at = random.bounded(bytes.size());
            for (qsizetype k = at; k < std::min(bytes.size(), at + 1 + random.bounded(600)); ++k)
                bytes[k] = char(random.bounded(256));
        }
        QVERIFY(qm::test::writeFile(m_path, bytes));
        QFile::remove(target());
        try {
            SalvageDictionary(m_path, target());
            QCOMPARE(stockSqlite(target(), QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        } catch (const qm::sqlite::Error &e) {
            QVERIFY2(qm::app::errorText(e).contains(QStringLiteral("読み出せる項目がありません")), qPrintable(qm::app::errorText(e)));
        }
    }
}

void tst_salvage::unreadableFileGivesNoFile()
{
    // Every page overwritten: nothing can be read.
    QVERIFY(qm::test::writeFile(m_path, QByteArray(QFileInfo(m_path).size(), '\x5a')));
    const QByteArray before = qm::test::readFile(m_path);
    try {
        SalvageDictionary(m_path, target());
        QFAIL("an unreadable file was salvaged");
    } catch (const qm::sqlite::Error &e)
    {
        QVERIFY2(qm::app::errorText(e).contains(QStringLiteral("読み出せる項目がありません")),
                 qPrintable(qm::app::errorText(e)));
    }
    QCOMPARE(qm::test::readFile(m_path), before);
    verifyFolderHoldsOnly({damagedName()});
}

void tst_salvage::cancelAndTakenNameLeaveNoFile()
{
    qint64 calls = 0;
    try {
        SalvageDictionary(m_path, target(), [&calls](qint64 done, qint64 total) {
            return ++calls < 600 && done <= total;
        });
        QFAIL("a cancelled salvage finished");
    } catch (const qm::sqlite::Error &e)
    {
        QCOMPARE(e.kind(), qm::sqlite::Error::Kind::Cancelled);
    }
    verifyFolderHoldsOnly({damagedName()});

    // A name a dictionary has already is refused, and that dictionary stays as it was.
    QVERIFY(QFile::copy(m_path, target()));
    const QByteArray kept = qm::test::readFile(target());
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, SalvageDictionary(m_path, target()));
    QCOMPARE(qm::test::readFile(target()), kept);
    verifyFolderHoldsOnly({damagedName(), QStringLiteral("救出.dic")});
}

void tst_salvage::targetsThatMustNotBeLostAreRefused_data()
{
    // The name given, what it is made (a file of text, a link to a file, a folder), and what the
    // message says.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("dictionary") << QStringLiteral("other.dic") << QStringLiteral("copy") << QStringLiteral("データベース");
    QTest::newRow("set member") << QStringLiteral("member.txt") << QStringLiteral("text") << QStringLiteral("辞書セット");
    QTest::newRow("link to the damaged file") << QStringLiteral("link.dic") << QStringLiteral("link") << QStringLiteral("読み込み元");
    QTest::newRow("folder") << QStringLiteral("sub") << QStringLiteral("folder") << QStringLiteral("フォルダーです");
    QTest::newRow("device") << QStringLiteral("/dev/null") << QString() << QStringLiteral("通常のファイルではありません");
}

void tst_salvage::targetsThatMustNotBeLostAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, made);
    QFETCH(QString, refusal);
    const QString path = QDir(m_dir.path()).filePath(name);
    if (made == QLatin1String("copy"))
        QVERIFY(QFile::copy(m_path, path));
    // The damaged file has lost its header: only its name tells it apart.
    QFile damaged(m_path);
    QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.write(QByteArray(100, '\0')) == 100);
    damaged.close();
    if (made == QLatin1String("text"))
        QVERIFY(qm::test::writeFile(path, "member"));
    if (made == QLatin1String("link"))
        QVERIFY(QFile::link(m_path, path));
    if (made == QLatin1String("folder"))
        QVERIFY(QDir(m_dir.path()).mkdir(name));
    const QByteArray before = qm::test::readFile(path);
    try {
        SalvageDictionary(m_path, path, {}, {m_dir.filePath(QStringLiteral("member.txt"))});
        QFAIL("the salvage wrote over a file it must not replace");
    } catch (const qm::sqlite::Error &e) {
        QVERIFY2(qm::app::errorText(e).contains(refusal), qPrintable(qm::app::errorText(e)));
    }
    QCOMPARE(qm::test::readFile(path), before);
}

void tst_salvage::replacedFileKeepsItsMode()
{
    QVERIFY(qm::test::writeFile(target(), "old notes"));
    QVERIFY(QFile::setPermissions(target(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const SalvageReport report = SalvageDictionary(m_path, target());
    QCOMPARE(report.entriesSaved, qint64(EntryCount));
    QVERIFY(Dictionary::IsDictionaryFile(target()));
    QCOMPARE(QFileInfo(target()).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    verifyFolderHoldsOnly({damagedName(), QStringLiteral("救出.dic")});
}

void tst_salvage::damagedMembersGoToTheHandler()
{
    const QString sound = m_dir.filePath(QStringLiteral("sound.dic"));
    const QString badIndex = m_dir.filePath(QStringLiteral("index.dic"));
    QVERIFY(QFile::copy(m_path, sound));
    QVERIFY(QFile::copy(m_path, badIndex));
    // One member does not open (its properties are gone); one opens, but its keyword index fails.
    QVERIFY(qm::test::damagePage(m_path, rootPageOf(QStringLiteral("Properties"))));
    QVERIFY(qm::test::damagePage(badIndex, rootPageOf(QStringLiteral("Index_Index"))));
    const QString missing = m_dir.filePath(QStringLiteral("missing.dic"));

    qm::desktop::ScriptedPrompter prompter;
    OpenSet open(qm::app::setFailuresTo(prompter));
    QList<DamagedDictionary> told;
    open.setDamageHandler([&told](const DamagedDictionary &d) { told.append(d); });
    const DictionarySet members(QStringLiteral("セット"), {m_path, sound, badIndex, missing});
    open.open(&members);
    QCOMPARE(told.size(), 1);
    QCOMPARE(told[0].path, m_path);
    QCOMPARE(told[0].slot, 0);
    QVERIFY(told[0].failure);
    // The missing file is still told of in a message, and only it.
    QCOMPARE(prompter.messages().size(), 1);
    QVERIFY(prompter.texts().first().contains(missing));
    QVERIFY(!prompter.texts().first().contains(m_path));
    {
        // Without a handler, damage is reported as any other failure.
        qm::desktop::ScriptedPrompter plainPrompter;
        OpenSet plain(qm::app::setFailuresTo(plainPrompter));
        plain.open(&members);
        QCOMPARE(plainPrompter.messages().size(), 1);
        QVERIFY(plainPrompter.texts().first().contains(m_path));
    }

    const SearchResults results = qm::test::findKeyword(open, QStringLiteral("key7"), 100).summary;
    QVERIFY(results.failure);
    QCOMPARE(results.failure->slot, 2);
    QVERIFY(open.offerRecovery(results.failure->slot, results.failure->error));
    QCOMPARE(told.size(), 2);
    QCOMPARE(told[1].path, badIndex);
    // A file found damaged is not written to again, not even the counts stored at closing.
    const QByteArray damagedBytes = qm::test::readFile(badIndex);
    open.close();
    QCOMPARE(qm::test::readFile(badIndex), damagedBytes);
    open.open(&members);

    // A sound file put under the damaged one's name opens into its slot; the others stay open.
    QVERIFY(QFile::remove(m_path));
    QVERIFY(QFile::copy(sound, m_path));
    Dictionary *before = open.dictionary(1);
    QVERIFY(open.reopenSlot(0, m_path));
    QVERIFY(open.dictionary(0));
    QCOMPARE(open.dictionary(1), before);
    QVERIFY(!qm::test::findKeyword(open, QStringLiteral("key7"), 100).rows.empty());
}

QTEST_GUILESS_MAIN(tst_salvage)
#include "tst_salvage.moc"
