// Body-text condition searches through the body index give exactly the entries a reading of
// every body gives, through every write, an upgrade, compaction and damage.

#include "app/store/care/compaction.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/search/trigramindex.h"

#include "platform/rtf/rtf.h"
#include "platform/sqlite/likepattern.h"
#include "platform/text/cp932.h"

#include "tests/common/stocksqlite.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <set>

using namespace qm::store;
using qm::test::stockSqlite;

namespace {

const RichTextReader Reader = &qm::rtf::rtfToPlainText;

QByteArray cp932(const QString &text)
{
    return qm::text::cp932::encode(text).bytes;
}

QByteArray richText(const QString &text)
{
    QTextDocument document;
    document.setPlainText(text);
    return qm::rtf::toRtfBytes(document);
}

Entry entry(Viewer viewer, const QByteArray &body)
{
    Entry e;
    e.Viewer = quint8(viewer);
    e.Heading = QStringLiteral("見出し");
    e.Document = body;
    return e;
}

// Bodies of every type, with text that folds (case, width, kana) and text split over lines.
std::vector<Entry> mixedBodies()
{
    return {
        entry(Viewer::Text, cp932(QStringLiteral("東京タワーの夜景 Night View"))),
        entry(Viewer::Text, cp932(QStringLiteral("ﾄｳｷｮｳ ﾀﾜｰ は高い"))),
        entry(Viewer::Text, cp932(QStringLiteral("abc\r\ndef ghi"))),
        entry(Viewer::Text, QByteArray()),
        entry(Viewer::RichText, richText(QStringLiteral("リッチな東京の本文 NIGHT"))),
        entry(Viewer::RichText, cp932(QStringLiteral("not rtf: とうきょう plain"))),
        entry(Viewer::Url, cp932(QStringLiteral("https://example.com/tokyo/night"))),
        entry(Viewer::Html, cp932(QStringLiteral("<p>とうきょう<b>たわー</b></p>"))),
        entry(Viewer::Ole, QByteArray("tokyo night binary\0\1", 20)),
    };
}

// The search patterns: three characters and more (the index narrows), fewer (every body is
// read), wildcards between literal runs, and text no body holds.
const QStringList Patterns = {
    QStringLiteral("東京"),    QStringLiteral("とうきょう"), QStringLiteral("TOKYO"),   QStringLiteral("night"),
    QStringLiteral("ﾀﾜｰ"),     QStringLiteral("c\r\nd"),     QStringLiteral("e"),       QStringLiteral("の"),
    QStringLiteral("ni?ht"),   QStringLiteral("東*本文"),     QStringLiteral("たわー</"), QStringLiteral("zzzz"),
    QStringLiteral("#"),       QStringLiteral("[a-c]bc"),   QStringLiteral("すっかり"),
};

SearchCondition bodyContains(const QString &text)
{
    return {std::nullopt, {{SearchField::Body, MatchMode::Contains, text}}};
}

// The entries whose rows a body search lists.
std::set<qint32> searched(Dictionary &d, const QString &text)
{
    std::set<qint32> out;
    d.searchCondition(bodyContains(text), 100000, [&](const KeywordMatch &m) { out.insert(m.DocumentNumber); });
    return out;
}

// The entries a reading of every body finds.
std::set<qint32> scanned(Dictionary &d, const QString &text)
{
    const std::optional<qm::sqlite::LikePattern> pattern =
        qm::sqlite::LikePattern::compile(QString(QLatin1Char('*') + text + QLatin1Char('*')),
                                         qm::sqlite::LikePattern::StrayBracket::Literal);
    std::set<qint32> out;
    for (const qint32 n : d.entryNumbers()) {
        const Entry e = *d.document(n);
        const QString key = bodySearchKey(e.Viewer, e.Document, Reader);
        if (!key.isNull() && pattern->matchesFolded(key))
            out.insert(n);
    }
    return out;
}

// The patterns whose searched entries differ from the scanned ones.
QStringList differences(Dictionary &d, const QStringList &patterns = Patterns)
{
    QStringList out;
    for (const QString &p : patterns)
        if (searched(d, p) != scanned(d, p))
            out.append(p);
    return out;
}

} // namespace

class tst_bodyindex final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void searchesEqualAReadingOfEveryBody();
    void indexFollowsEveryWrite();
    void bulkWritesIndexEveryRow();
    void bulkWriteIntoEmptyKeepsTheKeywordIndexes();
    void largeBodiesAreReadByEverySearch();
    void lostTextIsDroppedWhenCompacted();
    void bodiesWrittenWithoutAReaderAreStillFound();
    void earlierFilesAreIndexedOnWriteOrCompaction();
    void damagedIndexIsPassedOverAndMadeAnew();

private:
    void fill(Dictionary &d);

    QTemporaryDir m_dir;
    QString m_path;
};

void tst_bodyindex::init()
{
    m_path = m_dir.filePath(QStringLiteral("%1.dic").arg(QString::fromLatin1(QTest::currentTestFunction())));
    QFile::remove(m_path);
    Dictionary::CreateDictionary(m_path, QStringLiteral("本文"), {}, {}, {});
}

void tst_bodyindex::fill(Dictionary &d)
{
    std::vector<Dictionary::NewEntry> batch;
    int i = 0;
    for (const Entry &e : mixedBodies())
        batch.push_back({e, {QStringLiteral("key%1").arg(i++)}});
    d.addEntries(batch);
}

void tst_bodyindex::searchesEqualAReadingOfEveryBody()
{
    Dictionary d(m_path, {false, {}, Reader});
    QVERIFY(d.file().hasBodyIndex());
    fill(d);
    QCOMPARE(differences(d), QStringList());
    // Not every pattern finds all or nothing: the comparison tells entries apart.
    QCOMPARE(searched(d, QStringLiteral("night")).size(), std::size_t(3));
    QCOMPARE(searched(d, QStringLiteral("とうきょう")).size(), std::size_t(3));
}

void tst_bodyindex::indexFollowsEveryWrite()
{
    Dictionary d(m_path, {false, {}, Reader});
    fill(d);
    // One at a time, changed to another text and type, and deleted.
    const qint32 added = d.addEntry(entry(Viewer::Text, cp932(QStringLiteral("新しい東京の本文"))), {QStringLiteral("k")});
    Entry changed = entry(Viewer::RichText, richText(QStringLiteral("すっかり別の NIGHT")));
    changed.DocumentNumber = 1;
    QVERIFY(d.updateEntry(changed));
    QVERIFY(d.deleteEntry(2));
    // A body whose text stays: nothing to rewrite, still found.
    Entry same = *d.document(3);
    QVERIFY(d.updateEntry(same));
    QCOMPARE(differences(d), QStringList());
    QVERIFY(searched(d, QStringLiteral("新しい東京")).count(added));
    QVERIFY(!searched(d, QStringLiteral("東京タワー")).count(1));

    // In an edit session, undone: the index goes back with it.
    d.beginEditSession();
    Entry session = entry(Viewer::Html, cp932(QStringLiteral("<i>一時の本文</i>")));
    session.DocumentNumber = 3;
    QVERIFY(d.updateEntry(session));
    d.rollbackEditSession();
    QCOMPARE(differences(d), QStringList());
    QVERIFY(searched(d, QStringLiteral("一時の")).empty());
}

void tst_bodyindex::bulkWritesIndexEveryRow()
{
    // Into an empty dictionary the indexes are built at the end; into one with entries, batch
    // by batch.
    Dictionary d(m_path, {false, {}, Reader});
    for (int round = 0; round < 2; ++round) {
        int batches = 0;
        d.addEntriesFrom([&](std::vector<NewEntry> &batch, Numbering &) {
            for (const Entry &e : mixedBodies())
                batch.push_back({e, {QStringLiteral("word%1x%2").arg(round).arg(batches)}});
            return ++batches < 3;
        });
        QCOMPARE(differences(d), QStringList());
        std::set<qint32> keyed;
        d.searchKeyword(*qm::sqlite::LikePattern::compile(QStringLiteral("*d%1x1*").arg(round)), 1000,
                        [&](const KeywordMatch &m) { keyed.insert(m.DocumentNumber); });
        QCOMPARE(keyed.size(), mixedBodies().size());
    }
}

void tst_bodyindex::bulkWriteIntoEmptyKeepsTheKeywordIndexes()
{
    // The keyword table's indexes are made at the end of a bulk write into an empty dictionary:
    // a write that fails half-way gets them back with its rows gone, one that succeeds has them
    // as before and finds its rows through them.
    const QString indexes = QStringLiteral("SELECT group_concat(name || ':' || sql, '|') FROM "
                                           "(SELECT name, sql FROM sqlite_schema WHERE tbl_name = 'Index' "
                                           "AND type = 'index' ORDER BY name)");
    const QString made = stockSqlite(m_path, indexes);
    QVERIFY(made.contains(QStringLiteral("Index_Index")));
    const auto batches = [](int failAt) {
        return [failAt, n = 0](std::vector<NewEntry> &batch, Numbering &) mutable {
            if (++n == failAt)
                throw std::runtime_error("source failed");
            for (const Entry &e : mixedBodies())
                batch.push_back({e, {QStringLiteral("あか%1").arg(n), QStringLiteral("word%1").arg(n)}});
            return n < 3;
        };
    };
    {
        Dictionary d(m_path, {false, {}, Reader});
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, d.addEntriesFrom(batches(2)));
        QVERIFY(d.entryNumbers().empty());
        d.addEntriesFrom(batches(0));
        int found = 0;
        d.searchKeyword(*qm::sqlite::LikePattern::compile(QStringLiteral("あか2*")), 1000, [&](const KeywordMatch &) { ++found; });
        QCOMPARE(found, int(mixedBodies().size()));
        QCOMPARE(differences(d), QStringList());
    }
    QCOMPARE(stockSqlite(m_path, indexes), made);
    QCOMPARE(stockSqlite(m_path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
}

void tst_bodyindex::largeBodiesAreReadByEverySearch()
{
    Dictionary d(m_path, {false, {}, Reader});
    fill(d);
    // Each pattern reads the large body whole: a few of them.
    const QStringList few = {QStringLiteral("東京タワー"), QStringLiteral("すっかり"), QStringLiteral("e")};
    // Over the size the index holds: listed to be read, its trigrams never gathered.
    const QByteArray large = cp932(QString(1 << 20, u'x') + QStringLiteral(" 東京タワー すっかり"));
    const qint32 n = d.addEntry(entry(Viewer::Text, large), {QStringLiteral("large")});
    QCOMPARE(differences(d, few), QStringList());
    QVERIFY(searched(d, QStringLiteral("すっかり")).count(n));
    // Made small, large again (in a batch), then deleted.
    Entry small = entry(Viewer::Html, cp932(QStringLiteral("<p>小さな本文</p>")));
    small.DocumentNumber = n;
    QVERIFY(d.updateEntry(small));
    QCOMPARE(differences(d, few), QStringList());
    d.addEntries({{entry(Viewer::RichText, large), {QStringLiteral("rich")}}});
    QCOMPARE(differences(d, few), QStringList());
    QVERIFY(d.deleteEntry(n));
    QCOMPARE(differences(d, few), QStringList());
}

void tst_bodyindex::lostTextIsDroppedWhenCompacted()
{
    {
        Dictionary d(m_path, {false, {}, Reader});
        fill(d);
        // Each change loses text the index still lists the entry under; searches stay exact.
        for (int i = 0; i < 120; ++i) {
            Entry e = entry(Viewer::Text, cp932(QStringLiteral("第%1版 %2").arg(i).arg(Patterns.at(i % Patterns.size()))));
            e.DocumentNumber = 1 + i % 3;
            QVERIFY(d.updateEntry(e));
        }
        QCOMPARE(differences(d), QStringList());
    }
    const QString stale = QStringLiteral("SELECT Value FROM Properties WHERE Name = 'BodyIndexStale'");
    QCOMPARE(stockSqlite(m_path, stale), QStringLiteral("120"));
    const QString listed = QStringLiteral("SELECT sum(length(Rows)) + count(*) FROM BodyTrigram");
    const qint64 before = stockSqlite(m_path, listed).toLongLong();
    CompactDictionary(m_path, {}, Reader);
    QCOMPARE(stockSqlite(m_path, stale), QStringLiteral("0"));
    QVERIFY(stockSqlite(m_path, listed).toLongLong() < before);
    Dictionary d(m_path, {true, {}, Reader});
    QCOMPARE(differences(d), QStringList());
}

void tst_bodyindex::bodiesWrittenWithoutAReaderAreStillFound()
{
    {
        Dictionary without(m_path); // no rich-text reader: the text of an RTF body stays unread
        fill(without);
    }
    Dictionary d(m_path, {true, {}, Reader});
    QVERIFY(d.file().hasBodyIndex());
    QCOMPARE(differences(d), QStringList());
    QVERIFY(searched(d, QStringLiteral("リッチな")).size() == 1);
}

void tst_bodyindex::earlierFilesAreIndexedOnWriteOrCompaction()
{
    {
        Dictionary d(m_path, {false, {}, Reader});
        fill(d);
    }
    const QString drop = QStringLiteral("DROP TABLE BodyTrigram; DROP INDEX Index_UnreadText;");
    const QString copy = m_dir.filePath(QStringLiteral("earlier copy.dic"));
    QFile::remove(copy);
    stockSqlite(m_path, drop);
    QVERIFY(QFile::copy(m_path, copy));
    {
        // Read only, every body is read.
        Dictionary d(m_path, {true, {}, Reader});
        QVERIFY(!d.file().hasBodyIndex());
        QCOMPARE(differences(d), QStringList());
    }
    bool progressed = false;
    Dictionary d(m_path, {false, [&](qint64, qint64) { return progressed = true; }, Reader});
    QVERIFY(d.file().hasBodyIndex());
    QVERIFY(progressed);
    QCOMPARE(differences(d), QStringList());

    CompactDictionary(copy, {}, Reader);
    Dictionary compacted(copy, {true, {}, Reader});
    QVERIFY(compacted.file().hasBodyIndex());
    QCOMPARE(differences(compacted), QStringList());
}

void tst_bodyindex::damagedIndexIsPassedOverAndMadeAnew()
{
    {
        Dictionary d(m_path, {false, {}, Reader});
        fill(d);
    }
    // Lists that cannot be read, written by another program: searches read every body.
    stockSqlite(m_path, QStringLiteral("UPDATE BodyTrigram SET Rows = x'80' WHERE Trigram % 3 = 0;"));
    {
        Dictionary d(m_path, {true, {}, Reader});
        QCOMPARE(differences(d), QStringList());
    }
    // Compaction makes the index anew.
    CompactDictionary(m_path, {}, Reader);
    QCOMPARE(stockSqlite(m_path, QStringLiteral("SELECT count(*) FROM BodyTrigram WHERE Rows = x'80'")), QStringLiteral("0"));
    Dictionary d(m_path, {true, {}, Reader});
    QCOMPARE(differences(d), QStringList());
}

QTEST_MAIN(tst_bodyindex)
#include "tst_bodyindex.moc"
