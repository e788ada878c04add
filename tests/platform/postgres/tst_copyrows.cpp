#include "platform/postgres/copyrows.h"

#include <QTest>

using qm::pg::CopyRows;

// The rows COPY reads in its text format: what the server would take apart again into the
// values given. The server's side is tested with a real server in the store's tests.
class tst_copyrows final : public QObject
{
    Q_OBJECT

private slots:
    void textIsEscaped_data();
    void textIsEscaped();
    void rowsHoldEveryKindOfField();
};

void tst_copyrows::textIsEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain") << QStringLiteral("見出し abc") << QByteArray("見出し abc");
    QTest::newRow("separators") << QStringLiteral("a\tb\nc\rd") << QByteArray("a\\tb\\nc\\rd");
    QTest::newRow("backslash") << QStringLiteral("c:\\d\\\\") << QByteArray("c:\\\\d\\\\\\\\");
    QTest::newRow("null's mark is text") << QStringLiteral("\\N") << QByteArray("\\\\N");
    QTest::newRow("up to a NUL") << QStringLiteral("before") + QChar(0) + QStringLiteral("\tafter") << QByteArray("before");
    QTest::newRow("empty is not null") << QString() << QByteArray();
}

void tst_copyrows::textIsEscaped()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    CopyRows rows;
    rows.text(text).endRow();
    QCOMPARE(rows.data(), field + '\n');
}

void tst_copyrows::rowsHoldEveryKindOfField()
{
    CopyRows rows;
    QVERIFY(rows.isEmpty());
    rows.number(-7).null().bytes(QByteArray("\0\x01\xff", 3)).text(QStringLiteral("x")).endRow();
    rows.number(2).endRow();
    QCOMPARE(rows.data(), QByteArray("-7\t\\N\t\\\\x0001ff\tx\n2\n"));
    rows.clear();
    QVERIFY(rows.isEmpty());
    rows.number(1).endRow();
    QCOMPARE(rows.data(), QByteArray("1\n"));
}

QTEST_APPLESS_MAIN(tst_copyrows)
#include "tst_copyrows.moc"
