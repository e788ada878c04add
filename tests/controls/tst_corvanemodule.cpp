#include "controls/corvanemodule.h"

#include "platform/text/cp932.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using corvane::CorvaneModule;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestCorvaneModule final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesExactlyTheTextInCp932();
    void refusesUnencodableTextAndKeepsTheOldFile();
    void reportsAFolderThatCannotBeWritten();
    void readsUtf8AndCp932Files();

private:
    QTemporaryDir m_dir;
};

// No terminator, no line-end conversion; an existing longer file is truncated.
void TestCorvaneModule::writesExactlyTheTextInCp932()
{
    const QString path = m_dir.filePath(QStringLiteral("out.txt"));
    QVERIFY(CorvaneModule::WriteTextFile(path, QStringLiteral("a long first version")).ok());

    const QString text = QStringLiteral("見出し\nｶﾀｶﾅ～①");
    QVERIFY(CorvaneModule::WriteTextFile(path, text).ok());
    QCOMPARE(readAll(path), qm::text::cp932::encode(text).bytes);
    QVERIFY(!readAll(path).contains('\r'));

    QVERIFY(CorvaneModule::WriteTextFile(path, QString()).ok());
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestCorvaneModule::refusesUnencodableTextAndKeepsTheOldFile()
{
    const QString path = m_dir.filePath(QStringLiteral("keep.txt"));
    QVERIFY(CorvaneModule::WriteTextFile(path, QStringLiteral("old")).ok());

    const corvane::Result r = CorvaneModule::WriteTextFile(path, QStringLiteral("abc😀def"));
    QVERIFY(!r.ok());
    QVERIFY2(r.error.contains(QStringLiteral("😀")), qPrintable(r.error));
    QCOMPARE(readAll(path), QByteArray("old"));
}

void TestCorvaneModule::reportsAFolderThatCannotBeWritten()
{
    // A regular file as folder: unwritable even for root.
    const QString notAFolder = m_dir.filePath(QStringLiteral("plain"));
    QVERIFY(CorvaneModule::WriteTextFile(notAFolder, QStringLiteral("x")).ok());
    const corvane::Result r =
        CorvaneModule::WriteTextFile(notAFolder + QStringLiteral("/inside.txt"), QStringLiteral("x"));
    QVERIFY(!r.ok());
    QVERIFY(r.error.contains(QStringLiteral("inside.txt")));
}

void TestCorvaneModule::readsUtf8AndCp932Files()
{
    const QString text = QStringLiteral("日本語のテキスト");
    const QString cp932Path = m_dir.filePath(QStringLiteral("sjis.txt"));
    QVERIFY(CorvaneModule::WriteTextFile(cp932Path, text).ok());
    QCOMPARE(CorvaneModule::ReadTextFile(cp932Path).value_or(QString()), text);

    const QString utf8Path = m_dir.filePath(QStringLiteral("utf8.txt"));
    QFile utf8(utf8Path);
    QVERIFY(utf8.open(QIODevice::WriteOnly));
    utf8.write(text.toUtf8());
    utf8.close();
    QCOMPARE(CorvaneModule::ReadTextFile(utf8Path).value_or(QString()), text);

    QString error;
    QVERIFY(!CorvaneModule::ReadTextFile(m_dir.filePath(QStringLiteral("none.txt")), &error));
    QVERIFY(error.contains(QStringLiteral("none.txt")));
}

QTEST_GUILESS_MAIN(TestCorvaneModule)
#include "tst_corvanemodule.moc"
