#include "platform/text/textfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qm::text;

class tst_textfile final : public QObject
{
    Q_OBJECT

private slots:
    void detectsUtf8AndCp932();
    void crLf();
    void writeRefusesUnencodableAndKeepsOldFile();
    void writeReportsMissingFolder();
};

void tst_textfile::detectsUtf8AndCp932()
{
    QCOMPARE(decodeTextFile(QByteArray("\xEF\xBB\xBF") + QStringLiteral("日本").toUtf8()), QStringLiteral("日本"));
    QCOMPARE(decodeTextFile(QStringLiteral("日本").toUtf8()), QStringLiteral("日本"));
    QCOMPARE(decodeTextFile(QByteArray("\x93\xFA\x96\x7B")), QStringLiteral("日本"));
    QCOMPARE(decodeTextFile(QByteArray("plain")), QStringLiteral("plain"));
    QVERIFY(!readTextFile(QStringLiteral("/nonexistent/file.txt")).has_value());
}

void tst_textfile::crLf()
{
    QCOMPARE(toCrLf(u"a\nb\r\nc\rd"), QStringLiteral("a\r\nb\r\nc\r\nd"));
    QCOMPARE(toCrLf(u"\r\n\r\n"), QStringLiteral("\r\n\r\n"));
}

void tst_textfile::writeRefusesUnencodableAndKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    QVERIFY(writeCp932File(path, u"日本").ok);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\x93\xFA\x96\x7B"));
    f.close();

    const WriteResult r = writeCp932File(path, u"新しい😀");
    QVERIFY(!r.ok);
    QCOMPARE(r.unencodable, QList<char32_t>{0x1F600});
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\x93\xFA\x96\x7B"));
}

void tst_textfile::writeReportsMissingFolder()
{
    const WriteResult r = writeCp932File(QStringLiteral("/nonexistent-folder/x.txt"), u"x");
    QVERIFY(!r.ok);
    QVERIFY(!r.error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_textfile)
#include "tst_textfile.moc"
