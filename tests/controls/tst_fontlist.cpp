#include "controls/fontlist.h"

#include "platform/text/cp932.h"

#include "tests/common/testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using corvane::FontListCache;

namespace {

const QStringList Fonts{u"ＭＳ 明朝"_qs, u"@ＭＳ 明朝"_qs, u"Arial"_qs, u"ＭＳ Ｐゴシック"_qs};

} // namespace

class tst_fontlist final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileFormat();
    void renewedOnlyWhenTheCountChanges();
    void unusableFilesAreWrittenAgain_data();
    void unusableFilesAreWrittenAgain();
    void unwritableFolderGivesTheScreenFonts();
};

void tst_fontlist::fileFormat()
{
    QCOMPARE(FontListCache::contents(Fonts),
             qm::text::cp932::encode(u"4\r\nＭＳ 明朝\r\nArial\r\nＭＳ Ｐゴシック\r\n"_qs).bytes);
    // A name CP932 cannot hold: the file is UTF-8 behind a byte order mark, and reads back.
    QTemporaryDir dir;
    const QStringList wide{u"Noto 𠮷"_qs, u"Serif"_qs};
    QCOMPARE(FontListCache::contents(wide), QByteArray("\xEF\xBB\xBF") + u"2\r\nNoto 𠮷\r\nSerif\r\n"_qs.toUtf8());
    QCOMPARE(FontListCache::load(dir.path(), wide), wide);
    QCOMPARE(qm::test::readFile(dir.filePath(u"Font.ini"_qs)), FontListCache::contents(wide));
}

void tst_fontlist::renewedOnlyWhenTheCountChanges()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"Font.ini"_qs);
    const QStringList names{u"ＭＳ 明朝"_qs, u"Arial"_qs, u"ＭＳ Ｐゴシック"_qs};
    QCOMPARE(FontListCache::load(dir.path(), Fonts), names);
    QCOMPARE(qm::test::readFile(file), FontListCache::contents(Fonts));

    // Same count: the file is believed, even when a font was replaced meanwhile.
    QStringList replaced = Fonts;
    replaced[2] = u"Helvetica"_qs;
    QCOMPARE(FontListCache::load(dir.path(), replaced), names);

    // Another count: written anew.
    const QStringList more = Fonts + QStringList(u"Courier"_qs);
    QCOMPARE(FontListCache::load(dir.path(), more), names + QStringList(u"Courier"_qs));
    QVERIFY(qm::test::readFile(file).startsWith("5\r\n"));
}

void tst_fontlist::unusableFilesAreWrittenAgain_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no number") << QByteArray("four\r\nArial\r\n");
    QTest::newRow("more names than fonts") << QByteArray("4\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\n");
}

void tst_fontlist::unusableFilesAreWrittenAgain()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(qm::test::writeFile(dir.filePath(u"Font.ini"_qs), bytes));
    QCOMPARE(FontListCache::load(dir.path(), Fonts).size(), 3);
    QCOMPARE(qm::test::readFile(dir.filePath(u"Font.ini"_qs)), FontListCache::contents(Fonts));
}

// As root a read-only mode is no obstacle, so the folder is a file here.
void tst_fontlist::unwritableFolderGivesTheScreenFonts()
{
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath(u"file"_qs);
    QVERIFY(qm::test::writeFile(notAFolder, "x"));
    QCOMPARE(FontListCache::load(notAFolder, Fonts),
             QStringList({u"ＭＳ 明朝"_qs, u"Arial"_qs, u"ＭＳ Ｐゴシック"_qs}));
}

QTEST_MAIN(tst_fontlist)
#include "tst_fontlist.moc"
