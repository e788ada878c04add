#include "controls/corvanemodule.h"

#include "platform/text/cp932.h"

#include "tests/common/testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using corvane::CorvaneModule;

class tst_corvanemodule final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesExactlyTheTextInCp932();
    void refusesWhatItCannotWrite();

private:
    QTemporaryDir m_dir;
};

// No terminator, no line-end conversion; a longer old file is truncated.
void tst_corvanemodule::writesExactlyTheTextInCp932()
{
    const QString path = m_dir.filePath(QStringLiteral("out.txt"));
    QVERIFY(CorvaneModule::WriteTextFile(path, QStringLiteral("a long first version")).ok());
    const QString text = QStringLiteral("見出し\nｶﾀｶﾅ～①");
    QVERIFY(CorvaneModule::WriteTextFile(path, text).ok());
    QCOMPARE(qm::test::readFile(path), qm::text::cp932::encode(text).bytes);
    QCOMPARE(CorvaneModule::ReadTextFile(path).value_or(QString()), text);

    QVERIFY(CorvaneModule::WriteTextFile(path, QString()).ok());
    QCOMPARE(QFileInfo(path).size(), 0);
}

void tst_corvanemodule::refusesWhatItCannotWrite()
{
    const QString path = m_dir.filePath(QStringLiteral("keep.txt"));
    QVERIFY(CorvaneModule::WriteTextFile(path, QStringLiteral("old")).ok());
    corvane::Result r = CorvaneModule::WriteTextFile(path, QStringLiteral("abc😀def"));
    QVERIFY2(!r.ok() && r.error.contains(QStringLiteral("😀")), qPrintable(r.error));
    QCOMPARE(qm::test::readFile(path), QByteArray("old")); // never "?", never half a file

    // A regular file as folder: unwritable even for root.
    r = CorvaneModule::WriteTextFile(path + QStringLiteral("/inside.txt"), QStringLiteral("x"));
    QVERIFY2(!r.ok() && r.error.contains(QStringLiteral("inside.txt")), qPrintable(r.error));
}

QTEST_GUILESS_MAIN(tst_corvanemodule)
#include "tst_corvanemodule.moc"
