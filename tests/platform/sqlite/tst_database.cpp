#include "platform/sqlite/database.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace qm::sqlite;

class tst_database final : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void openFailuresAreToldApart();
    void triggersAndViewsNeverRun();
    void transactionRollsBackOnException();
    void valuesAreBoundNotSpliced();
    void likeFunctionMatchesFoldedText();
    void rowListsAreReadInPlace();

private:
    // Makes a file with the stock library, outside our hardened connection.
    void rawExec(const QString &path, const char *sql);
    QTemporaryDir m_dir;
};

void tst_database::rawExec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    QVERIFY2(rc == SQLITE_OK, err);
    sqlite3_close(db);
}

void tst_database::openFailuresAreToldApart()
{
    auto kindOf = [](const QString &path) {
        try {
            Database db(path);
        } catch (const Error &e) {
            return e.kind();
        }
        return Error::Kind::Cancelled; // opened: not expected in these cases
    };
    QCOMPARE(kindOf(m_dir.filePath(QStringLiteral("no-such-folder/a.dic"))), Error::Kind::FolderMissing);
    QCOMPARE(kindOf(m_dir.filePath(QStringLiteral("missing.dic"))), Error::Kind::General);
    QCOMPARE(kindOf(m_dir.path()), Error::Kind::General);

    const QString text = m_dir.filePath(QStringLiteral("text.dic"));
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("this is not a database, just some text that is long enough to look like a header");
    f.close();
    QCOMPARE(kindOf(text), Error::Kind::General);

    // Creating never overwrites.
    QVERIFY_THROWS_EXCEPTION(Error, Database(text, Database::OpenMode::Create));
}

void tst_database::triggersAndViewsNeverRun()
{
    const QString path = m_dir.filePath(QStringLiteral("trap.db"));
    rawExec(path, "CREATE TABLE t(x); CREATE TABLE log(y);"
                  "CREATE TRIGGER tr AFTER INSERT ON t BEGIN INSERT INTO log VALUES (1); END;"
                  "CREATE VIEW v AS SELECT * FROM t;");
    Database db(path);
    Statement(db, "INSERT INTO t VALUES (1)").run();
    Statement count(db, "SELECT count(*) FROM log");
    QVERIFY(count.step());
    QCOMPARE(count.toInt(0), 0);
    QVERIFY_THROWS_EXCEPTION(Error, Statement(db, "SELECT * FROM v").step());
}

void tst_database::transactionRollsBackOnException()
{
    const QString path = m_dir.filePath(QStringLiteral("tx.db"));
    Database db(path, Database::OpenMode::Create);
    db.exec("CREATE TABLE t(x UNIQUE)");
    try {
        Transaction tx(db);
        Statement(db, "INSERT INTO t VALUES (1)").run();
        Statement(db, "INSERT INTO t VALUES (1)").run(); // violates UNIQUE
        tx.commit();
        QFAIL("the second insert should have failed");
    } catch (const Error &) {
    }
    Statement count(db, "SELECT count(*) FROM t");
    QVERIFY(count.step());
    QCOMPARE(count.toInt(0), 0);
}

void tst_database::valuesAreBoundNotSpliced()
{
    Database db(m_dir.filePath(QStringLiteral("bind.db")), Database::OpenMode::Create);
    db.exec("CREATE TABLE t(x, y BLOB)");
    const QString hostile = QStringLiteral("\"; DROP TABLE t; --'日本");
    const QByteArray blob("\x00\x01\xFF", 3);
    Statement ins(db, "INSERT INTO t VALUES (?1, ?2)");
    ins.bind(1, hostile).bindBlob(2, blob);
    ins.run();
    Statement sel(db, "SELECT x, y FROM t");
    QVERIFY(sel.step());
    QCOMPARE(sel.toText(0), hostile);
    QCOMPARE(sel.toBlob(1), blob);
}

void tst_database::likeFunctionMatchesFoldedText()
{
    Database db(m_dir.filePath(QStringLiteral("like.db")), Database::OpenMode::Create);
    Statement st(db, "SELECT qm_like(?1, qm_fold(?2))");
    st.bind(1, QStringLiteral("ｷｰﾜｰﾄﾞ*")).bind(2, QStringLiteral("キーワード帳"));
    QVERIFY(st.step());
    QCOMPARE(st.toInt(0), 1);
    Statement bad(db, "SELECT qm_like('[abc', 'a')");
    QVERIFY_THROWS_EXCEPTION(Error, bad.step());

    // A compiled pattern is used as bound, not read as text: "[ab*" as text cannot be read, the
    // pattern compiled with its stray "[" as a character can.
    const std::optional<LikePattern> stray = LikePattern::compile(u"[ab*", LikePattern::StrayBracket::Literal);
    QVERIFY(stray);
    Statement bound(db, "SELECT qm_like(?1, ?2)");
    for (const char *text : {"[abc", "abc"}) {
        bound.bindPattern(1, *stray).bind(2, QString::fromLatin1(text));
        QVERIFY(bound.step());
        QCOMPARE(bound.toInt(0), text[0] == '[' ? 1 : 0);
        bound.reset();
    }
}

void tst_database::rowListsAreReadInPlace()
{
    Database db(m_dir.filePath(QStringLiteral("rows.db")), Database::OpenMode::Create);
    db.exec("CREATE TABLE t(x)");
    db.exec("INSERT INTO t (rowid, x) VALUES (1, 'a'), (2, 'b'), (3, 'c')");
    Statement st(db, "SELECT m.rowid, t.x FROM qm_rows(?1) AS m CROSS JOIN t ON t.rowid = m.value");
    // The list's order and places, a number twice, a number with no row.
    const std::vector<qint64> rows{3, 9, 1, 3};
    st.bindRows(1, rows);
    QStringList seen;
    while (st.step())
        seen << QStringLiteral("%1:%2").arg(st.toInt(0)).arg(st.toText(1));
    QCOMPARE(seen, QStringList({u"0:c"_qs, u"2:a"_qs, u"3:c"_qs}));
    // A value that is not a bound list lists nothing.
    st.reset();
    st.bind(1, 2);
    QVERIFY(!st.step());
}

QTEST_GUILESS_MAIN(tst_database)
#include "tst_database.moc"
