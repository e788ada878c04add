#include "app/store/dictionary/dictionary.h"
#include "app/common/storemessages.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/text/fold.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/resource.h>

using namespace qm::store;
using qm::sqlite::Statement;

namespace {

using qm::test::stockSqlite;

Entry makeEntry(const QString &heading, quint8 viewer = 1)
{
    Entry e;
    e.Viewer = viewer;
    e.Heading = heading;
    e.Document = QByteArray("body");
    e.RenewalDate = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
    return e;
}

// Why opening the file fails, told from a copy of the error as the windows keep it; empty when
// it opens.
QString openingFailure(const QString &path)
{
    std::optional<qm::sqlite::Error> failure;
    try {
        Dictionary d(path);
    } catch (const qm::sqlite::Error &e) {
        failure = e;
    }
    return failure ? qm::app::describeFailure(*failure) : QString();
}

QList<QString> lookup(Dictionary &d, const QString &pattern, int limit = 1000)
{
    QList<QString> out;
    d.searchKeyword(*qm::sqlite::LikePattern::compile(pattern), limit,
                    [&](const KeywordMatch &m) { out.append(m.Index); });
    return out;
}

} // namespace

class tst_dictionary final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void newDictionaryHasSchemaRowsAndProperties();
    void createNeverOverwritesAndCleansUp();
    void relationsAreEnforced();
    void entriesRoundTrip();
    void numbersGoOnBelowTheLargest();
    void isDictionaryFile();
    void lookupIsOrderedAndInsensitive();
    void prefixLookupIsAnIndexRangeScan();
    void anInterruptedLookupLeavesTheFileFree();
    void editsKeepTheFoldedKeys();
    void editSessions();
    void readOnlyFilesRefuseEdits();
    void alteredCopiesAreRefusedUntouched_data();
    void alteredCopiesAreRefusedUntouched();
    void keysOfAnotherVersionAreRecomputed();
    void pathsAreNeverUris();
    void hugeBodiesAreRefusedUnread();

private:
    QString create(const QString &name = QStringLiteral("a.dic"));
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_dictionary::init()
{
    QVERIFY(m_dir.isValid());
}

QString tst_dictionary::create(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    Dictionary::CreateDictionary(path, QStringLiteral("ユーザー辞書"), {}, {}, {false, true, false});
    return path;
}

void tst_dictionary::newDictionaryHasSchemaRowsAndProperties()
{
    const QString path = create();
    QCOMPARE(stockSqlite(path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    QCOMPARE(stockSqlite(path, QStringLiteral("SELECT ViewerNumber || '=' || ViewerType FROM ViewerType ORDER BY 1")),
             QStringLiteral("1=<ﾃｷｽﾄ>\n2=<ﾘｯﾁ>\n3=<URL>\n4=<HTML>\n5=<OLE>"));
    QCOMPARE(stockSqlite(path, QStringLiteral("SELECT (SELECT count(*) FROM Document) || ',' || (SELECT count(*) FROM \"Index\")")),
             QStringLiteral("0,0"));
    QCOMPARE(stockSqlite(path, QStringLiteral("SELECT group_concat(Name || ':' || Type, ' ') FROM (SELECT * FROM Properties ORDER BY rowid)")),
             QStringLiteral("QuillmereDatabase:Text DictionaryName:Text DictionaryNameLock:Boolean Author:Text "
                            "AuthorLock:Boolean Comment:Text CommentLock:Boolean IndexRecordCount:Long "
                            "DocumentRecordCount:Long FoldVersion:Text SearchIndexRows:Text"));

    Dictionary d(path);
    QCOMPARE(d.property(QStringLiteral("QuillmereDatabase")), QVariant(QStringLiteral("1.00")));
    QCOMPARE(d.property(QStringLiteral("DictionaryName")), QVariant(QStringLiteral("ユーザー辞書")));
    QCOMPARE(d.property(QStringLiteral("Author")), QVariant(QStringLiteral(" ")));
    QCOMPARE(d.property(QStringLiteral("Comment")), QVariant(QStringLiteral(" ")));
    QCOMPARE(d.property(QStringLiteral("DictionaryNameLock")), QVariant(false));
    QCOMPARE(d.property(QStringLiteral("AuthorLock")), QVariant(true));
    QCOMPARE(d.property(QStringLiteral("IndexRecordCount")), QVariant(0));
    QCOMPARE(d.property(QStringLiteral("DocumentRecordCount")), QVariant(0));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.property(QStringLiteral("NoSuchProperty")));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.setProperty(QStringLiteral("NoSuchProperty"), 1));
    d.setProperty(QStringLiteral("Comment"), QStringLiteral("メモ"));
    QCOMPARE(d.property(QStringLiteral("Comment")), QVariant(QStringLiteral("メモ")));
}

void tst_dictionary::createNeverOverwritesAndCleansUp()
{
    const QString path = create();
    {
        Dictionary d(path);
        d.addEntry(makeEntry(QStringLiteral("keep")), {QStringLiteral("k")});
    }
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, Dictionary::CreateDictionary(path, QStringLiteral("x"), {}, {}, {}));
    QCOMPARE(Dictionary(path).documentRowCount(), 1);

    try {
        Dictionary::CreateDictionary(m_dir.filePath(QStringLiteral("missing/b.dic")), QStringLiteral("x"), {}, {}, {});
        QFAIL("creating in a missing folder should fail");
    } catch (const qm::sqlite::Error &e) {
        QCOMPARE(e.kind(), qm::sqlite::Error::Kind::FolderMissing);
    }
}

void tst_dictionary::relationsAreEnforced()
{
    Dictionary d(create());
    const qint32 n = d.addEntry(makeEntry(QStringLiteral("h")), {QStringLiteral("a"), QStringLiteral("b")});
    QVERIFY(n > 0);
    QCOMPARE(d.indexRowCount(), 2);
    // Keywords go with their entry.
    d.deleteEntry(n);
    QCOMPARE(d.indexRowCount(), 0);
    // A keyword needs an entry; an entry needs one of the five types.
    auto &db = d.database();
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, Statement(db, "INSERT INTO \"Index\" (\"Index\", DocumentNumber) VALUES ('x', 999)").run());
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, Statement(db, "INSERT INTO Document (Viewer, Heading) VALUES (0, 'x')").run());
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, Statement(db, "INSERT INTO Document (Viewer, Heading) VALUES (6, 'x')").run());
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.addEntry(makeEntry(QStringLiteral("x"), 6), {}));
    QCOMPARE(d.documentRowCount(), 0);
}

void tst_dictionary::entriesRoundTrip()
{
    Dictionary d(create());
    Entry e = makeEntry(QStringLiteral("見出し"), 5);
    e.Document = QByteArray("\x00\xFF\x01\x80 bytes", 10);
    const qint32 n = d.addEntry(e, {QStringLiteral("キー")});
    const std::optional<Entry> back = d.document(n);
    QVERIFY(back.has_value());
    QCOMPARE(back->DocumentNumber, n);
    QCOMPARE(back->Viewer, quint8(5));
    QCOMPARE(back->Heading, e.Heading);
    QCOMPARE(back->Document, e.Document);
    QCOMPARE(back->RenewalDate, e.RenewalDate);
    QVERIFY(!d.document(n + 100).has_value());
    // A stored date reads as the format parser reads it, also where it is not one the store wrote.
    for (const char *text : {"2024-05-06 07:08:09", "2024-02-30 00:00:00", "2024-1-06 07:08:09", "0000-01-01 00:00:00",
                             "2024-05-06T07:08:09", "2024-05-06 24:00:00", "+024-05-06 07:08:09", ""}) {
        Statement set(d.database(), "UPDATE Document SET RenewalDate = ?1 WHERE DocumentNumber = ?2");
        set.bind(1, QString::fromLatin1(text));
        set.bind(2, n);
        set.run();
        const QDateTime parsed = QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QCOMPARE(d.document(n)->RenewalDate, parsed);
        QCOMPARE(d.document(n)->RenewalDate.isValid(), parsed.isValid());
    }
    // Numbers are never reused, even after a delete.
    d.deleteEntry(n);
    QVERIFY(d.addEntry(e, {}) > n);
}

void tst_dictionary::numbersGoOnBelowTheLargest()
{
    const QString path = create();
    Dictionary d(path);
    std::vector<Dictionary::NewEntry> kept;
    for (const qint32 n : {2, 3, 2147483647}) {
        kept.push_back({makeEntry(QString::number(n)), {}});
        kept.back().entry.DocumentNumber = n;
    }
    d.addEntries(kept, Dictionary::Numbering::Keep);
    // The largest number is taken: new entries take the free numbers below it, lowest first.
    QCOMPARE(d.addEntry(makeEntry(QStringLiteral("a")), {QStringLiteral("a")}), 1);
    QCOMPARE(d.addEntry(makeEntry(QStringLiteral("b")), {}), 4);
    d.deleteEntry(2147483647);
    d.deleteEntry(1);
    QCOMPARE(d.addEntry(makeEntry(QStringLiteral("c")), {}), 5);
    QCOMPARE(Dictionary(path).addEntry(makeEntry(QStringLiteral("d")), {}), 1);
    QCOMPARE(qm::app::describeFailure(numbersExhaustedError()).contains(QStringLiteral("これ以上登録できません")), true);
}

void tst_dictionary::isDictionaryFile()
{
    const QString good = create();
    QVERIFY(Dictionary::IsDictionaryFile(good));
    QVERIFY(!Dictionary::IsDictionaryFile(m_dir.filePath(QStringLiteral("nothing.dic"))));

    const QString text = m_dir.filePath(QStringLiteral("x.dic"));
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("just text\r\n");
    f.close();
    QVERIFY(!Dictionary::IsDictionaryFile(text));
    QCOMPARE(openingFailure(text), QStringLiteral("ファイルが壊れているか、データベースではありません"));

    const QString plain = m_dir.filePath(QStringLiteral("plain.dic"));
    QVERIFY(stockSqlite(plain, QStringLiteral("CREATE TABLE t(x); SELECT 'done';")) == QStringLiteral("done"));
    QVERIFY(!Dictionary::IsDictionaryFile(plain));
    QCOMPARE(openingFailure(plain), QStringLiteral("辞書ファイルではありません"));
    QCOMPARE(openingFailure(good), QString());

    // Another program's database in write-ahead-log mode keeps every byte, and no side files.
    const QString wal = m_dir.filePath(QStringLiteral("wal.db"));
    QCOMPARE(stockSqlite(wal, QStringLiteral("PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES (1);")),
             QStringLiteral("wal"));
    const QByteArray walBytes = qm::test::readFile(wal);
    QVERIFY(!Dictionary::IsDictionaryFile(wal));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, Dictionary{wal});
    QCOMPARE(qm::test::readFile(wal), walBytes);
    QVERIFY(!QFile::exists(wal + QStringLiteral("-wal")) && !QFile::exists(wal + QStringLiteral("-shm")));

    // Our marker, but objects that are not ours.
    const char *extras[] = {"CREATE TRIGGER tr AFTER INSERT ON Document BEGIN DELETE FROM \"Index\"; END;",
                            "CREATE VIEW v AS SELECT * FROM Document;", "CREATE TABLE Extra(x);"};
    for (const char *extra : extras) {
        const QString path = create(QStringLiteral("extra.dic"));
        QCOMPARE(stockSqlite(path, QString::fromLatin1(extra) + QStringLiteral("SELECT 'done';")), QStringLiteral("done"));
        QVERIFY2(!Dictionary::IsDictionaryFile(path), extra);
    }

    // The marker's value does not matter.
    const QString other = create(QStringLiteral("other.dic"));
    QCOMPARE(stockSqlite(other, QStringLiteral("UPDATE Properties SET Value='9.99' WHERE Name='QuillmereDatabase'; SELECT 'done';")),
             QStringLiteral("done"));
    QVERIFY(Dictionary::IsDictionaryFile(other));
    QCOMPARE(stockSqlite(other, QStringLiteral("DELETE FROM Properties WHERE Name='QuillmereDatabase'; SELECT 'done';")),
             QStringLiteral("done"));
    QVERIFY(!Dictionary::IsDictionaryFile(other));

    // A truncated copy of a real dictionary with some rows.
    const QString full = create(QStringLiteral("full.dic"));
    {
        Dictionary d(full);
        std::vector<Dictionary::NewEntry> batch;
        for (int i = 0; i < 2000; ++i)
            batch.push_back({makeEntry(QStringLiteral("見出し%1").arg(i)), {QStringLiteral("キー%1").arg(i)}});
        d.addEntries(batch);
    }
    QFile source(full);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const QString truncated = m_dir.filePath(QStringLiteral("truncated.dic"));
    QFile cut(truncated);
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    QVERIFY(!Dictionary::IsDictionaryFile(truncated));
}

void tst_dictionary::lookupIsOrderedAndInsensitive()
{
    Dictionary d(create());
    d.addEntry(makeEntry(QStringLiteral("h1")), {QStringLiteral("キーワード帳"), QStringLiteral("zebra")});
    d.addEntry(makeEntry(QStringLiteral("h2")), {QStringLiteral("きーわーど"), QStringLiteral("Apple")});
    d.addEntry(makeEntry(QStringLiteral("h3")), {QStringLiteral("ｷｰ"), QStringLiteral("apricot"), QStringLiteral("APPLE")});
    QCOMPARE(lookup(d, QStringLiteral("ｷｰﾜｰﾄﾞ*")), (QList<QString>{QStringLiteral("きーわーど"), QStringLiteral("キーワード帳")}));
    QCOMPARE(lookup(d, QStringLiteral("ap*")), (QList<QString>{QStringLiteral("Apple"), QStringLiteral("APPLE"), QStringLiteral("apricot")}));
    QCOMPARE(lookup(d, QStringLiteral("*")).size(), 7);
    QCOMPARE(lookup(d, QStringLiteral("*ra")), QList<QString>{QStringLiteral("zebra")});
    QCOMPARE(lookup(d, QStringLiteral("a?p*")), (QList<QString>{QStringLiteral("Apple"), QStringLiteral("APPLE")}));
    QCOMPARE(lookup(d, QStringLiteral("*"), 2).size(), 2);
    // A keyword with SQL in it is only text.
    QVERIFY(lookup(d, QStringLiteral("\"; DROP TABLE Document; --*")).isEmpty());
    QCOMPARE(d.documentRowCount(), 3);
}

void tst_dictionary::prefixLookupIsAnIndexRangeScan()
{
    Dictionary d(create());
    for (const char *pattern : {"ab*", "ab?c*", "ｷｰ*"}) {
        const auto compiled = qm::sqlite::LikePattern::compile(QString::fromUtf8(pattern));
        QStringList plan;
        const QByteArray sql = QByteArray("EXPLAIN QUERY PLAN ") + Dictionary::keywordLookupSql(*compiled);
        Statement st(d.database(), sql.constData());
        while (st.step())
            plan.append(st.toText(3));
        const QString text = plan.join(QLatin1Char('\n'));
        QVERIFY2(text.contains(QStringLiteral("SEARCH i USING COVERING INDEX Index_Index (IndexKey>? AND IndexKey<?)")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("SEARCH d USING COVERING INDEX Index_DocumentHeading (DocumentNumber=?)")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("TEMP B-TREE")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("SCAN")), qPrintable(text));
    }
}

void tst_dictionary::anInterruptedLookupLeavesTheFileFree()
{
    const QString path = create();
    Dictionary d(path);
    for (int i = 0; i < 3; ++i)
        d.addEntry(makeEntry(QStringLiteral("h%1").arg(i)), {QStringLiteral("k%1").arg(i)});
    const auto pattern = qm::sqlite::LikePattern::compile(u"k*");
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, d.searchKeyword(*pattern, 10, [](const KeywordMatch &) {
        throw std::runtime_error("stop");
    }));
    // Another connection can write at once, and the same lookup runs again from the start.
    Dictionary other(path);
    other.addEntry(makeEntry(QStringLiteral("h3")), {QStringLiteral("k3")});
    QCOMPARE(lookup(d, QStringLiteral("k*")).size(), 4);
    QCOMPARE(lookup(d, QStringLiteral("k*")).size(), 4);
}

// Every key column equals the fold of its text.
void verifyKeys(Dictionary &d)
{
    Statement kw(d.database(), "SELECT \"Index\", IndexKey FROM \"Index\"");
    while (kw.step())
        QCOMPARE(kw.toText(1), qm::text::fold(kw.toText(0)));
    Statement heading(d.database(), "SELECT Heading, HeadingKey FROM Document");
    while (heading.step())
        QCOMPARE(heading.toText(1), qm::text::fold(heading.toText(0)));
}

void tst_dictionary::editsKeepTheFoldedKeys()
{
    Dictionary d(create());
    const qint32 n = d.addEntry(makeEntry(QStringLiteral("ﾃｽﾄ")), {QStringLiteral("Ｂｅｔａ"), QStringLiteral("ｱ"), QStringLiteral("ｱ")});
    Entry e = makeEntry(QStringLiteral("ＡＢＣ見出し"), 2);
    e.DocumentNumber = n;
    e.Document = QByteArray("{\\rtf1 x}");
    QVERIFY(d.updateEntry(e));
    d.addKeyword(n, QStringLiteral("カタカナ"));
    // Exactly one of two equal rows goes; the order of the rest is the stored order.
    QVERIFY(d.deleteKeyword(n, QStringLiteral("ｱ")));
    QCOMPARE(d.keywords(n), (QStringList{QStringLiteral("Ｂｅｔａ"), QStringLiteral("ｱ"), QStringLiteral("カタカナ")}));
    QVERIFY(!d.deleteKeyword(n, QStringLiteral("none")));
    QVERIFY(!d.deleteKeyword(n + 1, QStringLiteral("ｱ")));
    verifyKeys(d);
    QCOMPARE(d.document(n)->Heading, e.Heading);
    QCOMPARE(d.document(n)->Viewer, quint8(2));
    QCOMPARE(lookup(d, QStringLiteral("かたかな")), QList<QString>{QStringLiteral("カタカナ")});
    e.DocumentNumber = n + 1;
    QVERIFY(!d.updateEntry(e));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.addKeyword(n + 1, QStringLiteral("orphan")));
}

void tst_dictionary::editSessions()
{
    const QString path = create();
    Dictionary d(path);
    const qint32 n = d.addEntry(makeEntry(QStringLiteral("h")), {QStringLiteral("one"), QStringLiteral("two")});

    d.beginEditSession();
    d.addKeyword(n, QStringLiteral("added"));
    const qint32 inside = d.addEntry(makeEntry(QStringLiteral("inside")), {QStringLiteral("k")});
    QCOMPARE(d.keywords(n).size(), 3);
    d.rollbackEditSession();
    QCOMPARE(d.keywords(n), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    QVERIFY(!d.document(inside));
    QCOMPARE(d.indexRowCount(), 2);

    // A failed write inside a session undoes only itself.
    d.beginEditSession();
    d.deleteKeyword(n, QStringLiteral("one"));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.addEntry(makeEntry(QStringLiteral("bad"), 9), {QStringLiteral("x")}));
    const qint32 kept = d.addEntry(makeEntry(QStringLiteral("kept")), {QStringLiteral("k")});
    QVERIFY(d.deleteEntry(n));
    d.commitEditSession();
    QCOMPARE(Dictionary(path).keywords(n), QStringList{});
    QCOMPARE(Dictionary(path).keywords(kept), QStringList{QStringLiteral("k")});

    // A session never ended goes when the dictionary closes.
    {
        Dictionary open(path);
        open.beginEditSession();
        open.addKeyword(kept, QStringLiteral("lost"));
    }
    QCOMPARE(Dictionary(path).keywords(kept), QStringList{QStringLiteral("k")});
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.commitEditSession());
}

void tst_dictionary::readOnlyFilesRefuseEdits()
{
    const QString path = create();
    Dictionary(path).addEntry(makeEntry(QStringLiteral("h")), {QStringLiteral("word")});
    const QByteArray before = qm::test::readFile(path);
    {
        Dictionary d(path, Dictionary::Options{true, {}});
        QVERIFY(d.isReadOnly());
        QCOMPARE(lookup(d, QStringLiteral("w*")).size(), 1);
        try {
            d.addKeyword(1, QStringLiteral("x"));
            QFAIL("a read-only dictionary must refuse edits");
        } catch (const qm::sqlite::Error &e) {
            QCOMPARE(e.kind(), qm::sqlite::Error::Kind::ReadOnly);
            QVERIFY(qm::app::errorText(e).contains(QStringLiteral("読み取り専用")));
        }
        QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.beginEditSession());
        QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.setProperty(QStringLiteral("Comment"), QStringLiteral("x")));
    }
    QCOMPARE(qm::test::readFile(path), before);
}

void tst_dictionary::alteredCopiesAreRefusedUntouched_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("accepted");
    const auto row = [](const char *name, const char *sql, bool accepted) {
        QTest::newRow(name) << QString::fromUtf8(sql) << accepted;
    };
    row("trigger", "CREATE TRIGGER tr AFTER INSERT ON Document BEGIN DELETE FROM \"Index\"; END;", false);
    row("view", "CREATE VIEW v AS SELECT * FROM Document;", false);
    row("table", "CREATE TABLE Extra(x);", false);
    row("index", "CREATE INDEX Extra ON Document(Heading);", false);
    row("partial index", "DROP INDEX Index_Viewer; CREATE INDEX Index_Viewer ON Document (Viewer) WHERE Viewer > 1;", false);
    row("redefined index", "DROP INDEX Index_Heading; CREATE INDEX Index_Heading ON Document (Heading);", false);
    row("check", "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql = "
                 "replace(sql, 'BETWEEN 0 AND 255', 'BETWEEN 0 AND 999') WHERE name = 'ViewerType';", false);
    row("default", "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql = "
                   "replace(sql, 'DEFAULT x''''', 'DEFAULT x''00''') WHERE name = 'Document';", false);
    row("without rowid", "DROP TABLE ViewerType; CREATE TABLE ViewerType (ViewerNumber INTEGER PRIMARY KEY "
                         "CHECK (ViewerNumber BETWEEN 0 AND 255), ViewerType TEXT NOT NULL) WITHOUT ROWID;", false);
    row("generated column", "ALTER TABLE Properties ADD COLUMN Extra GENERATED ALWAYS AS (1) VIRTUAL;", false);
    row("no marker", "DELETE FROM Properties WHERE Name = 'QuillmereDatabase';", false);
    row("analyzed", "ANALYZE;", true);
    row("without search tables", "DROP INDEX Index_RenewalDate; DROP TABLE DocumentText; DROP TABLE KeyTrigram;", true);
    row("without the date index", "DROP INDEX Index_RenewalDate;", true);
    row("without trigram index", "DROP TABLE KeyTrigram;", true);
    row("without body index", "DROP TABLE BodyTrigram; DROP INDEX Index_UnreadText;", true);
    row("body index with a rowid", "DROP TABLE BodyTrigram; CREATE TABLE BodyTrigram (Trigram INTEGER NOT NULL, "
                                   "FirstRow INTEGER NOT NULL, Rows BLOB NOT NULL, PRIMARY KEY (Trigram, FirstRow));", false);
    row("trigram index with a rowid", "DROP TABLE KeyTrigram; CREATE TABLE KeyTrigram (Trigram INTEGER NOT NULL, "
                                      "FirstRow INTEGER NOT NULL, Rows BLOB NOT NULL, PRIMARY KEY (Trigram, FirstRow));", false);
    row("other trigram index", "DROP TABLE KeyTrigram; CREATE VIRTUAL TABLE IndexKeyTrigram USING "
                               "fts5 (IndexKey, content='Index', tokenize='trigram', detail='none', columnsize=0);", false);
    row("earlier trigram index", "DROP TABLE BodyTrigram; DROP INDEX Index_UnreadText; DROP TABLE KeyTrigram; "
                                 "CREATE VIRTUAL TABLE IndexKeyTrigram USING fts5 (IndexKey, "
                                 "content='Index', tokenize='trigram case_sensitive 1', detail='none', columnsize=0);", true);
    row("previous trigram index", "DROP TABLE BodyTrigram; DROP INDEX Index_UnreadText; DROP TABLE KeyTrigram; "
                                 "CREATE VIRTUAL TABLE IndexKeyTrigram USING fts5 (IndexKey, "
                                  "content='', tokenize='trigram case_sensitive 1', detail='none', columnsize=0);", true);
    row("white space and case", "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql = "
                                "replace(replace(sql, 'CREATE INDEX', 'create   index'), '(', ' ( ') WHERE type = 'index';", true);
    row("our file in WAL mode", "PRAGMA journal_mode=WAL;", true);
}

void tst_dictionary::alteredCopiesAreRefusedUntouched()
{
    QFETCH(QString, sql);
    QFETCH(bool, accepted);
    const QString path = create(QStringLiteral("altered.dic"));
    Dictionary(path).addEntry(makeEntry(QStringLiteral("h")), {QStringLiteral("word")});
    QCOMPARE(stockSqlite(path, sql + QStringLiteral("SELECT 'done';")).split(QLatin1Char('\n')).last(), QStringLiteral("done"));
    QCOMPARE(Dictionary::IsDictionaryFile(path), accepted);
    const QByteArray before = qm::test::readFile(path);
    if (accepted) {
        Dictionary d(path);
        QCOMPARE(lookup(d, QStringLiteral("w*")).size(), 1);
        return;
    }
    try {
        Dictionary d(path);
        QFAIL("an altered file must be refused");
    } catch (const qm::sqlite::Error &e) {
        QVERIFY(isNotDictionaryError(e));
        QCOMPARE(qm::app::errorText(e), path + QStringLiteral(" は辞書ファイルではありません"));
    }
    QCOMPARE(qm::test::readFile(path), before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
}

void tst_dictionary::keysOfAnotherVersionAreRecomputed()
{
    const QString path = create();
    Dictionary(path).addEntry(makeEntry(QStringLiteral("ﾐﾀﾞｼ")), {QStringLiteral("ＫＥＹ")});
    // Rows written by the stock tool carry empty keys; so do keys of an unknown folding.
    stockSqlite(path, QStringLiteral("INSERT INTO Document (Viewer, Heading) VALUES (1, 'Stock');"
                                     "INSERT INTO \"Index\" (\"Index\", DocumentNumber) VALUES ('ＳＴＯＣＫ', last_insert_rowid());"
                                     "UPDATE Properties SET Value = 'other' WHERE Name = 'FoldVersion';"));
    QList<qint64> seen;
    Dictionary d(path, Dictionary::Options{false, [&](qint64 done, qint64 total) {
                     seen.append(done);
                     return done <= total;
                 }});
    QVERIFY(!seen.isEmpty());
    QCOMPARE(lookup(d, QStringLiteral("stock")), QList<QString>{QStringLiteral("ＳＴＯＣＫ")});
    verifyKeys(d);
    QCOMPARE(d.property(QStringLiteral("FoldVersion")).toString(), qm::text::foldVersion());
}

void tst_dictionary::pathsAreNeverUris()
{
    // Read as a URI, this name would open a database in memory.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    const QString name = QStringLiteral("file:uri.dic?mode=memory");
    Dictionary::CreateDictionary(name, QStringLiteral("x"), {}, {}, {});
    const bool created = QFile::exists(m_dir.filePath(name));
    const bool isDictionary = Dictionary::IsDictionaryFile(name);
    QVERIFY(QDir::setCurrent(previous));
    QVERIFY(created);
    QVERIFY(isDictionary);
}

void tst_dictionary::hugeBodiesAreRefusedUnread()
{
    const QString path = create();
    const qint32 n = Dictionary(path).addEntry(makeEntry(QStringLiteral("big")), {QStringLiteral("big")});
    stockSqlite(path, QStringLiteral("UPDATE Document SET Document = zeroblob(300000000);"));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    Dictionary d(path);
    try {
        d.document(n);
        QFAIL("a body over the limit must be refused");
    } catch (const qm::sqlite::Error &e) {
        QCOMPARE(e.kind(), qm::sqlite::Error::Kind::TooLarge);
        QVERIFY(qm::app::errorText(e).contains(QStringLiteral("大きすぎる")));
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024, "refusing must not read the body");
    Entry e = makeEntry(QStringLiteral("big"));
    e.DocumentNumber = n;
    e.Document = QByteArray(MaxBodyBytes + 1, 'x');
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, d.updateEntry(e));
}

QTEST_GUILESS_MAIN(tst_dictionary)
#include "tst_dictionary.moc"
