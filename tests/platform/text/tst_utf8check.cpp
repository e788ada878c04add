#include "platform/text/utf8check.h"

#include <QTest>

using namespace qm::text;

class tst_utf8check final : public QObject
{
    Q_OBJECT

private slots:
    void findsFirstInvalidSequence_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("invalidAt");
        QTest::addColumn<qsizetype>("validEnd");
        QTest::newRow("valid") << QByteArray("a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80") << qsizetype(-1) << qsizetype(10);
        QTest::newRow("cp932 bytes") << QByteArray("ab\x93\xFA") << qsizetype(2) << qsizetype(2);
        QTest::newRow("overlong") << QByteArray("a\xC0\xAF") << qsizetype(1) << qsizetype(1);
        QTest::newRow("overlong three") << QByteArray("\xE0\x80\xAF") << qsizetype(0) << qsizetype(0);
        QTest::newRow("surrogate") << QByteArray("x\xED\xA0\x80") << qsizetype(1) << qsizetype(1);
        QTest::newRow("beyond 10FFFF") << QByteArray("\xF4\x90\x80\x80") << qsizetype(0) << qsizetype(0);
        QTest::newRow("bad continuation") << QByteArray("\xE3\x81\x41") << qsizetype(0) << qsizetype(0);
        QTest::newRow("cut off") << QByteArray("ab\xE3\x81") << qsizetype(-1) << qsizetype(2);
    }

    void findsFirstInvalidSequence()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, invalidAt);
        QFETCH(qsizetype, validEnd);
        const Utf8Check check = checkUtf8(bytes);
        QCOMPARE(check.invalidAt, invalidAt);
        QCOMPARE(check.validEnd, validEnd);
    }
};

QTEST_GUILESS_MAIN(tst_utf8check)
#include "tst_utf8check.moc"
