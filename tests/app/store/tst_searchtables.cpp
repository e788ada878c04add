#include "app/store/care/compaction.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/search/searchtables.h"
#include "app/store/search/trigramindex.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "tests/common/stocksqlite.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <random>
#include <set>

using namespace qm::store;
using qm::sqlite::LikePattern;
using qm::sqlite::Statement;
using qm::test::stockSqlite;

namespace {

Entry makeEntry(const QString &heading, quint8 viewer = 1)
{
    Entry e;
    e.Viewer = viewer;
    e.Heading = heading;
    e.Document = QByteArray("body");
    return e;
}

// "keyword/number" rows of a lookup.
QStringList lookup(Dictionary &d, const QString &pattern, int limit = 1000)
{
    QStringList out;
    d.searchKeyword(*LikePattern::compile(pattern), limit, [&](const KeywordMatch &m) {
        out.append(m.Index + QLatin1Char('/') + QString::number(m.DocumentNumber));
    });
    return out;
}

// "keyword/heading/type/number" rows of a lookup read for the given use.
QStringList shownRows(Dictionary &d, const QString &pattern, int limit, RowUse use)
{
    QStringList out;
    const auto sink = [&](const KeywordMatch &m) {
        out.append(QStringLiteral("%1/%2/%3/%4").arg(m.Index, m.Heading).arg(m.Viewer).arg(m.DocumentNumber));
    };
    if (use == RowUse::WithBodies)
        d.searchKeywordForBodies(*LikePattern::compile(pattern), limit, sink);
    else
        d.searchKeyword(*LikePattern::compile(pattern), limit, sink);
    return out;
}

// What the matcher finds when it reads every keyword row: the rows whose folded key matches,
// in keyword order (folded key, entry, keyword, row).
QStringList fullScan(Dictionary &d, const QString &pattern, int limit = 1000)
{
    struct Row {
        QByteArray key;
        qint32 number;
        QByteArray index;
        qint64 rowid;
    };
    const std::optional<LikePattern> p = LikePattern::compile(pattern);
    Statement st(d.database(), "SELECT IndexKey, DocumentNumber, \"Index\", rowid FROM \"Index\"");
    std::vector<Row> rows;
    while (st.step())
        if (p->matchesFolded(st.toText(0)))
            rows.push_back({st.toText(0).toUtf8(), st.toInt(1), st.toText(2).toUtf8(), st.toInt64(3)});
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return std::tie(a.key, a.number, a.index, a.rowid) < std::tie(b.key, b.number, b.index, b.rowid);
    });
    QStringList out;
    for (std::size_t i = 0; i < rows.size() && int(i) < limit; ++i)
        out.append(QString::fromUtf8(rows[i].index) + QLatin1Char('/') + QString::number(rows[i].number));
    return out;
}

// "ok" when the trigram index holds exactly the rows of every trigram of every keyword row,
// else what differs.
QString indexCheck(Dictionary &d)
{
    std::map<Trigram, std::vector<qint64>> expected;
    Statement rows(d.database(), "SELECT rowid, IndexKey FROM \"Index\"");
    while (rows.step())
        for (const Trigram t : trigramsOf(rows.toText(1)))
            expected[t].push_back(searchtables::indexRowid(rows.toInt64(0), rows.toText(1)));
    std::set<Trigram> held;
    Statement trigrams(d.database(), "SELECT DISTINCT Trigram FROM KeyTrigram");
    while (trigrams.step())
        held.insert(trigrams.toInt64(0));
    TrigramIndex index(d.database());
    try {
        for (auto &[t, list] : expected) {
            std::sort(list.begin(), list.end());
            if (index.rowsWithAll({t}) != list)
                return QStringLiteral("rows of trigram %1 differ").arg(t);
            held.erase(t);
        }
        // Intersections with the longest list, which spans many chunks: the shorter list is
        // read whole, the longer one only in the chunks it points into.
        const auto longest = std::max_element(expected.begin(), expected.end(), [](const auto &a, const auto &b) {
            return a.second.size() < b.second.size();
        });
        int pairs = 0;
        for (auto it = expected.begin(); it != expected.end() && pairs < 300; ++it, ++pairs) {
            std::vector<qint64> both;
            std::set_intersection(it->second.begin(), it->second.end(), longest->second.begin(), longest->second.end(),
                                  std::back_inserter(both));
            if (index.rowsWithAll({longest->first, it->first}) != both || index.rowsWithAll({it->first, longest->first}) != both)
                return QStringLiteral("rows of trigrams %1 and %2 differ").arg(it->first).arg(longest->first);
        }
    } catch (const qm::sqlite::Error &e) {
        return e.message();
    }
    return held.empty() ? QStringLiteral("ok") : QStringLiteral("%1 trigrams too many").arg(held.size());
}

} // namespace

class tst_searchtables final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void lookupsMatchTheFullScan_data();
    void lookupsMatchTheFullScan();
    void lookupsReadTheIndex();
    void largeClassesAreReadInKeyOrder();
    void indexFollowsEveryWrite();
    void indexFollowsWritesInLongLists();
    void changesBehindTheStoreNeverMisleadLookups();
    void damagedListsAreMadeAnew();
    void earlierFilesAreAcceptedAndUpgraded();
    void earlierTrigramIndexIsMadeAnew_data();
    void earlierTrigramIndexIsMadeAnew();
    void keyOrderKeepsTheKeysOrder();
    void rowsTheIndexCannotNumberAreStillFound();
    void keysHoldingNulAreFoundByContains();

private:
    QString create(const QString &name);
    // A dictionary of generated keywords: short and long ones in several scripts, a third of
    // them holding "xyz" (so a pattern on it names more rows than the index hands over).
    QString generated();
    // Registers an entry with one keyword, then has the stock sqlite3 tool add a keyword row
    // to it: `values` are those of ("Index", DocumentNumber, IndexKey) after `columnsBefore`,
    // with %1 for the entry's number, which is returned.
    qint32 addThenWriteBehind(const QString &path, const QString &keyword, const QString &columnsBefore,
                              const QString &values);

    QTemporaryDir m_dir;
};

void tst_searchtables::init()
{
    QVERIFY(m_dir.isValid());
}

QString tst_searchtables::create(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    Dictionary::CreateDictionary(path, name, {}, {}, {});
    return path;
}

qint32 tst_searchtables::addThenWriteBehind(const QString &path, const QString &keyword,
                                            const QString &columnsBefore, const QString &values)
{
    qint32 n = 0;
    {
        Dictionary d(path);
        n = d.addEntry(makeEntry(QStringLiteral("h")), {keyword});
    }
    stockSqlite(path, QStringLiteral("INSERT INTO \"Index\" (%1\"Index\", DocumentNumber, IndexKey) VALUES (%2);")
                          .arg(columnsBefore, values.arg(n)));
    return n;
}

QString tst_searchtables::generated()
{
    const QString path = m_dir.filePath(QStringLiteral("generated.dic"));
    if (QFile::exists(path))
        return path;
    Dictionary::CreateDictionary(path, QStringLiteral("generated"), {}, {}, {});
    Dictionary d(path);
    QRandomGenerator rng(42);
    const QStringList pieces{QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("ｃ"), QStringLiteral("あ"),
                             QStringLiteral("ア"), QStringLiteral("ｲ"), QStringLiteral("日本"), QStringLiteral("1"),
                             QStringLiteral("２"), QStringLiteral(" "), QStringLiteral("ｶﾞ"), QStringLiteral("\"")};
    const auto word = [&](int maxPieces) {
        QString w;
        const int n = int(rng.bounded(maxPieces + 1));
        for (int i = 0; i < n; ++i)
            w += pieces[int(rng.bounded(pieces.size()))];
        return w;
    };
    std::vector<Dictionary::NewEntry> batch;
    for (int i = 0; i < 4500; ++i) {
        Dictionary::NewEntry e{makeEntry(QStringLiteral("h%1").arg(i)), {}};
        for (int k = 0; k < 10; ++k)
            e.keywords.append(word(3) + (rng.bounded(3) == 0 ? QStringLiteral("XyZ") : QString()) + word(4));
        batch.push_back(std::move(e));
    }
    d.addEntries(batch);
    return path;
}

void tst_searchtables::lookupsMatchTheFullScan_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("limit");
    for (const char *p : {"*xyz*", "*xyz", "*日本あ*", "*あ日本*", "*ア日本", "*ｶﾞ*", "*が1*", "*ab1*", "*ba1*",
                          "*b1?*", "*a*2*", "*1#*", "*[ab]あ1*", "*\"a\"*", "*ｲｲｲ*", "*ii*", "*", "*nothing*",
                          "?xyz*", "*XYZa*", "xyz*", "日本*", "a?1*"}) {
        QTest::newRow(p) << QString::fromUtf8(p) << 1000;
        QTest::newRow(QByteArray(QByteArray(p) + " limit 7").constData()) << QString::fromUtf8(p) << 7;
    }
}

void tst_searchtables::lookupsMatchTheFullScan()
{
    QFETCH(QString, pattern);
    QFETCH(int, limit);
    Dictionary d(generated(), {true, {}});
    QCOMPARE(lookup(d, pattern, limit), fullScan(d, pattern, limit));
    // A lookup whose rows' bodies are read next gives the same rows, headings and types.
    QCOMPARE(shownRows(d, pattern, limit, RowUse::WithBodies), shownRows(d, pattern, limit, RowUse::List));
}

void tst_searchtables::lookupsReadTheIndex()
{
    Dictionary d(generated(), {true, {}});
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    // Few candidates: the index; many: the walk, which stops at the limit.
    const std::optional<std::vector<qint64>> rare = d.trigramRows(*LikePattern::compile(u"*日本あ*"), searchtables::CandidateLimit);
    QVERIFY(rare && !rare->empty());
    QVERIFY(!d.trigramRows(*LikePattern::compile(u"*xyz*"), searchtables::CandidateLimit));
    QVERIFY(!d.trigramRows(*LikePattern::compile(u"*xy*"), searchtables::CandidateLimit));
    // The distinct trigrams of the literal runs, folded; none from runs shorter than three.
    const auto trigram = [](const char16_t *text) { return trigramsOf(QStringView(text)).front(); };
    std::vector<Trigram> expected{trigram(u"ab\""), trigram(u"b\"c"), trigram(u"d日本")};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(trigramsOf(*LikePattern::compile(u"*ＡＢ\"c*?d日本*ab\"*")), expected);
    QVERIFY(trigramsOf(*LikePattern::compile(u"*ab*cd?e*")).empty());
    QCOMPARE(trigramsOf(u"a\U0001F600bc").size(), std::size_t(2));
}

void tst_searchtables::largeClassesAreReadInKeyOrder()
{
    // Keys sharing their first three characters, many of them holding "abu": the limit falls
    // in such a class (read in key order), before it, or past it (the rest by rowid). In "qab"
    // the rows holding "abu" come after many that do not, so reading in key order gives way.
    const QString path = create(QStringLiteral("classes.dic"));
    Dictionary d(path);
    QRandomGenerator rng(3);
    std::vector<Dictionary::NewEntry> entries;
    const auto add = [&](const QString &stem, int count) {
        for (int i = 0; i < count; ++i) {
            const QString tail = QString::number(rng.bounded(100000));
            entries.push_back({makeEntry(QStringLiteral("h")), {stem + tail, stem + tail + QStringLiteral("x")}});
        }
    };
    add(QStringLiteral("abuse"), 40);
    add(QStringLiteral("faba"), 120);
    add(QStringLiteral("fabu"), 200);
    add(QStringLiteral("fabul1"), 60);
    add(QStringLiteral("qaba"), 400);
    add(QStringLiteral("qabu"), 100);
    add(QStringLiteral("zabu"), 30);
    std::shuffle(entries.begin(), entries.end(), std::mt19937(5));
    d.addEntries(entries);
    for (const QString &p : {QStringLiteral("*abu*"), QStringLiteral("*abu*1?x")})
        for (const int limit : {50, 100, 300, 700, 850, 2000})
            QCOMPARE(lookup(d, p, limit), fullScan(d, p, limit));
}

void tst_searchtables::indexFollowsEveryWrite()
{
    const QString path = create(QStringLiteral("writes.dic"));
    Dictionary d(path);
    const qint32 a = d.addEntry(makeEntry(QStringLiteral("a")), {QStringLiteral("alphabet"), QStringLiteral("ＡＬＰＨＡ")});
    const qint32 b = d.addEntry(makeEntry(QStringLiteral("b")), {QStringLiteral("betamax"), QStringLiteral("alphabeta")});
    d.addKeyword(b, QStringLiteral("ｱﾙﾌｧ"));
    QVERIFY(d.deleteKeyword(a, QStringLiteral("alphabet")));
    QCOMPARE(lookup(d, QStringLiteral("*lph*")), (QStringList{QStringLiteral("ＡＬＰＨＡ/%1").arg(a), QStringLiteral("alphabeta/%1").arg(b)}));
    QCOMPARE(lookup(d, QStringLiteral("*ルファ")), QStringList{QStringLiteral("ｱﾙﾌｧ/%1").arg(b)});

    // Inside an edit session, a rolled back write leaves the index as it was.
    d.beginEditSession();
    d.addKeyword(a, QStringLiteral("gamma ray"));
    QVERIFY(d.deleteEntry(b));
    QCOMPARE(lookup(d, QStringLiteral("*amm*")), QStringList{QStringLiteral("gamma ray/%1").arg(a)});
    QVERIFY(lookup(d, QStringLiteral("*bet*")).isEmpty());
    d.rollbackEditSession();
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QVERIFY(lookup(d, QStringLiteral("*amm*")).isEmpty());
    QCOMPARE(lookup(d, QStringLiteral("*bet*")).size(), 2);

    // An entry's keyword rows leave the index with it.
    QVERIFY(d.deleteEntry(b));
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QVERIFY(lookup(d, QStringLiteral("*bet*")).isEmpty());
}

void tst_searchtables::indexFollowsWritesInLongLists()
{
    // Rows of one trigram fill many chunks of the index: writes in the middle of them split,
    // shrink and drop chunks.
    const QString path = m_dir.filePath(QStringLiteral("long lists.dic"));
    QFile::remove(path);
    QVERIFY(QFile::copy(generated(), path));
    Dictionary d(path);
    QRandomGenerator rng(7);
    for (int i = 0; i < 300; ++i)
        d.deleteEntry(qint32(rng.bounded(1, 4500)));
    std::vector<Dictionary::NewEntry> added;
    for (int i = 0; i < 150; ++i)
        added.push_back({makeEntry(QStringLiteral("n%1").arg(i)),
                         {QStringLiteral("xyz%1xyz").arg(i), QStringLiteral("日本xyzあ%1").arg(i)}});
    d.addEntries(added);
    for (int i = 0; i < 100; ++i) {
        const qint32 n = qint32(rng.bounded(1, 4500));
        const QStringList words = d.keywords(n);
        if (words.isEmpty())
            continue; // deleted above
        d.addKeyword(n, QStringLiteral("axyzb%1").arg(i));
        QVERIFY(d.deleteKeyword(n, words.first()));
    }
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    for (const QString &p : {QStringLiteral("*xyz*"), QStringLiteral("*本xyz*"), QStringLiteral("*yzb*"), QStringLiteral("*1xyz")})
        QCOMPARE(lookup(d, p, 100), fullScan(d, p, 100));
}

void tst_searchtables::changesBehindTheStoreNeverMisleadLookups()
{
    const QString path = create(QStringLiteral("behind.dic"));
    qint32 n = 0;
    {
        Dictionary d(path);
        n = d.addEntry(makeEntry(QStringLiteral("h")), {QStringLiteral("original"), QStringLiteral("another")});
    }
    // Another program renames a keyword row, adds one with no key and one with the right key
    // (copied from another dictionary, say), and deletes one: the index still names the old rows.
    stockSqlite(path, QStringLiteral("UPDATE \"Index\" SET \"Index\" = 'renamed', IndexKey = 'renamed' WHERE \"Index\" = 'original';"
                                     "INSERT INTO \"Index\" (\"Index\", DocumentNumber) VALUES ('stocked', %1);"
                                     "INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES ('Copied', %1, 'copied');"
                                     "DELETE FROM \"Index\" WHERE \"Index\" = 'another';")
                          .arg(n));
    const QStringList patterns{QStringLiteral("*rigin*"), QStringLiteral("*nothe*"), QStringLiteral("*ename*"),
                               QStringLiteral("*tocke*"), QStringLiteral("*opie*")};
    {
        // Until the index is made anew it may miss such rows, but never lists a wrong one, even
        // after the store deleted a row by a key the index never held.
        Dictionary d(path);
        QVERIFY(d.deleteKeyword(n, QStringLiteral("renamed")));
        d.addKeyword(n, QStringLiteral("renamed again"));
        for (const QString &p : patterns)
            for (const QString &row : lookup(d, p))
                QVERIFY2(fullScan(d, p).contains(row), qPrintable(p + QLatin1Char(' ') + row));
    }
    // Compaction computes the other program's key and makes the index anew.
    CompactDictionary(path);
    {
        Dictionary d(path);
        QCOMPARE(indexCheck(d), QStringLiteral("ok"));
        QCOMPARE(lookup(d, QStringLiteral("*tocke*")), QStringList{QStringLiteral("stocked/%1").arg(n)});
        for (const QString &p : patterns)
            QCOMPARE(lookup(d, p), fullScan(d, p));
    }
    // A row with the right key alone is seen too: it is not among the rows the store recorded.
    stockSqlite(path, QStringLiteral("INSERT INTO \"Index\" (\"Index\", DocumentNumber, IndexKey) VALUES ('Pasted', %1, 'pasted');").arg(n));
    CompactDictionary(path);
    Dictionary d(path);
    QCOMPARE(lookup(d, QStringLiteral("*aste*")), QStringList{QStringLiteral("Pasted/%1").arg(n)});
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
}

void tst_searchtables::damagedListsAreMadeAnew()
{
    // Another program breaks rowid lists: a truncated number, a list that goes down.
    const QString path = m_dir.filePath(QStringLiteral("damaged lists.dic"));
    QFile::remove(path);
    QVERIFY(QFile::copy(generated(), path));
    const QString damaged = stockSqlite(
        path, QStringLiteral("UPDATE KeyTrigram SET Rows = x'80' "
                             "WHERE Trigram = (unicode('x') << 42) | (unicode('y') << 21) | unicode('z');"
                             "UPDATE KeyTrigram SET FirstRow = FirstRow + 1099511627776 WHERE Trigram % 11 = 0;"
                             "SELECT total_changes() > 100;"));
    QCOMPARE(damaged, QStringLiteral("1"));
    const QString pattern = QStringLiteral("*xyz*");
    {
        Dictionary d(path);
        QVERIFY(indexCheck(d) != QStringLiteral("ok"));
        // Lookups pass over what cannot be read.
        QCOMPARE(lookup(d, pattern, 100), fullScan(d, pattern, 100));
        QCOMPARE(lookup(d, QStringLiteral("*日本あ*")), fullScan(d, QStringLiteral("*日本あ*")));
        // A write that meets such a list makes the index anew.
        d.addKeyword(1, QStringLiteral("xyz repaired"));
        QCOMPARE(indexCheck(d), QStringLiteral("ok"));
        QCOMPARE(lookup(d, pattern, 100), fullScan(d, pattern, 100));
    }

    // Compaction makes anew an index with a list no write met.
    stockSqlite(path, QStringLiteral("UPDATE KeyTrigram SET Rows = x'00' WHERE Trigram % 5 = 0;"));
    CompactDictionary(path);
    Dictionary d(path);
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QCOMPARE(lookup(d, pattern, 100), fullScan(d, pattern, 100));
}

void tst_searchtables::earlierFilesAreAcceptedAndUpgraded()
{
    // Another program dropped one of the search tables: the file stays a dictionary, searched
    // without them read only, and gains them all again when opened for writing.
    for (const QString &drop : {QStringLiteral("DROP TABLE DocumentText"), QStringLiteral("DROP TABLE KeyTrigram"),
                               QStringLiteral("DROP INDEX Index_RenewalDate")}) {
        const QString half = create(QStringLiteral("half.dic"));
        {
            Dictionary d(half);
            d.addEntry(makeEntry(QStringLiteral("h")), {QStringLiteral("word")});
        }
        stockSqlite(half, drop);
        QVERIFY2(Dictionary::IsDictionaryFile(half), qPrintable(drop));
        QVERIFY(!Dictionary(half, {true, {}}).hasSearchTables());
        // Compaction gives them back as well as opening for writing does.
        if (drop.contains(QLatin1String("KeyTrigram")))
            CompactDictionary(half);
        QCOMPARE(stockSqlite(half, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'KeyTrigram'")),
                 QStringLiteral("1"));
        Dictionary d(half);
        QVERIFY(d.hasSearchTables());
        QCOMPARE(indexCheck(d), QStringLiteral("ok"));
        QCOMPARE(lookup(d, QStringLiteral("*ord*")).size(), 1);
        QVERIFY(QFile::remove(half));
    }

    const QString path = create(QStringLiteral("earlier.dic"));
    {
        Dictionary d(path);
        Entry rich = makeEntry(QStringLiteral("rich"), 2);
        rich.Document = QByteArray("{\\rtf1\\ansi \\'93\\'fa\\'96\\'7b}");
        d.addEntry(rich, {QStringLiteral("richword")});
        for (int i = 0; i < 50; ++i)
            d.addEntry(makeEntry(QStringLiteral("h%1").arg(i)), {QStringLiteral("word%1").arg(i)});
    }
    stockSqlite(path, QStringLiteral("DROP INDEX Index_RenewalDate; DROP TABLE DocumentText; DROP TABLE KeyTrigram;"));
    const QString copy = m_dir.filePath(QStringLiteral("earlier copy.dic"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(path, copy));
    QVERIFY(Dictionary::IsDictionaryFile(path));

    // Read only, it is searched without them.
    {
        Dictionary d(path, {true, {}});
        QVERIFY(!d.hasSearchTables());
        QCOMPARE(lookup(d, QStringLiteral("*ord4*")), fullScan(d, QStringLiteral("*ord4*")));
        QCOMPARE(lookup(d, QStringLiteral("*ord4*")).size(), 11);
    }
    // Opened for writing, it gains them, with progress.
    QList<qint64> seen;
    Dictionary d(path, {false, [&](qint64 done, qint64 total) {
                            seen.append(done);
                            return done <= total;
                        }});
    QVERIFY(d.hasSearchTables());
    QVERIFY(!seen.isEmpty());
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QCOMPARE(d.trigramRows(*LikePattern::compile(u"*ord*"), 100)->size(), std::size_t(51));
    QCOMPARE(stockSqlite(path, QStringLiteral("SELECT count(*) FROM DocumentText")), QStringLiteral("1"));
    QCOMPARE(stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));

    // Compaction gives the same to a file not opened since.
    CompactDictionary(copy);
    Dictionary compacted(copy);
    QVERIFY(compacted.hasSearchTables());
    QCOMPARE(indexCheck(compacted), QStringLiteral("ok"));
    QCOMPARE(lookup(compacted, QStringLiteral("*ord4*")), lookup(d, QStringLiteral("*ord4*")));
}

void tst_searchtables::earlierTrigramIndexIsMadeAnew_data()
{
    // The full-text indexes of earlier layouts: over the Index table as content, and with no
    // content of its own.
    QTest::addColumn<QString>("content");
    QTest::newRow("Index as content") << QStringLiteral("Index");
    QTest::newRow("no content") << QString();
}

void tst_searchtables::earlierTrigramIndexIsMadeAnew()
{
    QFETCH(QString, content);
    const QString path = m_dir.filePath(QStringLiteral("earlier index.dic"));
    QFile::remove(path);
    QVERIFY(QFile::copy(generated(), path));
    stockSqlite(path, QStringLiteral("DROP TABLE BodyTrigram; DROP INDEX Index_UnreadText; DROP TABLE KeyTrigram; "
                                     "CREATE VIRTUAL TABLE IndexKeyTrigram USING fts5 ("
                                     "IndexKey, content='%1', tokenize='trigram case_sensitive 1', detail='none', "
                                     "columnsize=0);")
                          .arg(content));
    const QString copy = m_dir.filePath(QStringLiteral("earlier index copy.dic"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(path, copy));
    QVERIFY(Dictionary::IsDictionaryFile(path));
    const QString pattern = QStringLiteral("*xyz*");
    {
        Dictionary d(path, {true, {}});
        QVERIFY(!d.hasSearchTables());
        QCOMPARE(lookup(d, pattern, 50), fullScan(d, pattern, 50));
    }
    bool progressed = false;
    Dictionary d(path, {false, [&](qint64, qint64) { return progressed = true; }});
    QVERIFY(d.hasSearchTables());
    QVERIFY(progressed);
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QCOMPARE(lookup(d, pattern, 50), fullScan(d, pattern, 50));
    QCOMPARE(stockSqlite(path, QStringLiteral("SELECT group_concat(name) FROM (SELECT name FROM sqlite_schema "
                                              "WHERE name LIKE '%Trigram%' ORDER BY name)")),
             QStringLiteral("BodyTrigram,KeyTrigram"));

    CompactDictionary(copy);
    Dictionary compacted(copy, {true, {}});
    QVERIFY(compacted.hasSearchTables());
    QCOMPARE(indexCheck(compacted), QStringLiteral("ok"));
    QCOMPARE(lookup(compacted, pattern, 50), fullScan(compacted, pattern, 50));
}

void tst_searchtables::keyOrderKeepsTheKeysOrder()
{
    // Keys in the engine's order (their UTF-8 bytes) never go down in order class.
    QList<QByteArray> keys{"", "a", "a\x7f", "ab", "abc", "abcd", "abd", "b", "~~~"};
    for (const char32_t c : {0x80u, 0xFFu, 0x3041u, 0x3093u, 0x30FCu, 0x4E00u, 0x65E5u, 0x9FFFu, 0xFF21u,
                             0xFFFDu, 0x1F600u, 0x20BB7u, 0x10FFFFu}) {
        const QByteArray one = QString::fromUcs4(&c, 1).toUtf8();
        keys << one << one + "a" << one + one << one + one + one;
    }
    std::sort(keys.begin(), keys.end());
    for (qsizetype i = 1; i < keys.size(); ++i)
        QVERIFY2(searchtables::keyOrder(QString::fromUtf8(keys[i - 1])) <= searchtables::keyOrder(QString::fromUtf8(keys[i])),
                 keys[i].toHex().constData());
    // The lowest key of a class is of that class and sorts at or before each of its keys.
    for (const QByteArray &key : keys) {
        const quint32 order = searchtables::keyOrder(QString::fromUtf8(key));
        const QByteArray lowest = searchtables::lowestKeyOf(order).toUtf8();
        QVERIFY2(searchtables::keyOrder(QString::fromUtf8(lowest)) == order && lowest <= key, key.toHex().constData());
    }
    // Hiragana and ASCII are told apart character by character.
    QVERIFY(searchtables::keyOrder(u"ab") < searchtables::keyOrder(u"ac"));
    QVERIFY(searchtables::keyOrder(u"あい") < searchtables::keyOrder(u"あう"));
    const qint64 rowid = searchtables::indexRowid(searchtables::RowMask, u"\U0010FFFF\U0010FFFF\U0010FFFF");
    QVERIFY(rowid > 0);
    QCOMPARE(searchtables::keywordRowOf(rowid), searchtables::RowMask);

    // Within one class, rows are put in the engine's order: a character beyond U+FFFF after one
    // of U+E000 ... U+FFFF, though UTF-16 puts it first.
    Dictionary d(create(QStringLiteral("order.dic")));
    d.addEntry(makeEntry(QStringLiteral("h")), {u"key\U0001F600 word"_qs, u"key\uE000 word"_qs, u"key word"_qs});
    QCOMPARE(lookup(d, QStringLiteral("*y? wor*")), fullScan(d, QStringLiteral("*y? wor*")));
    QCOMPARE(lookup(d, QStringLiteral("*y? wor*")).first(), u"key\uE000 word/1"_qs);
}

void tst_searchtables::rowsTheIndexCannotNumberAreStillFound()
{
    // Another program numbers a keyword row beyond what the index rowids hold.
    const QString path = create(QStringLiteral("far rows.dic"));
    const qint32 n = addThenWriteBehind(path, QStringLiteral("near word"), QStringLiteral("rowid, "),
                                        QStringLiteral("8589934592, 'far word', %1, 'far word'"));
    Dictionary d(path);
    d.addKeyword(n, QStringLiteral("farther word")); // numbered above it, not indexed either
    QCOMPARE(lookup(d, QStringLiteral("*r wor*")), fullScan(d, QStringLiteral("*r wor*")));
    QCOMPARE(lookup(d, QStringLiteral("*r wor*")).size(), 3);
    QVERIFY(d.deleteKeyword(n, QStringLiteral("far word")));
    QVERIFY(d.deleteKeyword(n, QStringLiteral("farther word")));
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QCOMPARE(lookup(d, QStringLiteral("*r wor*")), QStringList{QStringLiteral("near word/%1").arg(n)});
}

void tst_searchtables::keysHoldingNulAreFoundByContains()
{
    // The store refuses such keywords; another program may still have written one.
    const QString path = create(QStringLiteral("nul.dic"));
    const qint32 n = addThenWriteBehind(path, QStringLiteral("station"), QString(),
                                        QStringLiteral("'a' || char(0) || 'tion', %1, 'a' || char(0) || 'tion'"));
    CompactDictionary(path);
    Dictionary d(path);
    for (const QString &p : {QStringLiteral("*tion"), QStringLiteral("*tio*"), QStringLiteral("a*")})
        QCOMPARE(lookup(d, p), fullScan(d, p));
    QCOMPARE(lookup(d, QStringLiteral("*tion")).size(), 2);
    QVERIFY(d.deleteKeyword(n, QStringLiteral("a") + QChar(u'\0') + QStringLiteral("tion")));
    QCOMPARE(indexCheck(d), QStringLiteral("ok"));
    QCOMPARE(lookup(d, QStringLiteral("*tion")), QStringList{QStringLiteral("station/%1").arg(n)});
}

QTEST_GUILESS_MAIN(tst_searchtables)
#include "tst_searchtables.moc"
