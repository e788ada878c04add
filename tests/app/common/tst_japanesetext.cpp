#include "app/common/japanesetext.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QLocale>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

namespace {

// The families of the fonts that draw the text in this font.
QStringList familiesDrawing(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList families;
    for (const QGlyphRun &run : layout.glyphRuns())
        families << run.rawFont().familyName();
    return families;
}

bool isJapaneseFamily(const QString &family)
{
    const auto has = [&](const char *text, bool atEnd) {
        const QLatin1String part(text);
        return atEnd ? family.endsWith(part, Qt::CaseInsensitive) : family.startsWith(part, Qt::CaseInsensitive);
    };
    return has(" JP", true) || has("IPA", false) || has("Takao", false) || has("VL ", false);
}

} // namespace

// Runs on a desktop whose font matcher prefers Chinese fonts (FC_LANG=zh-cn, see the build):
// kanji still take their Japanese forms.
class tst_japanesetext final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void kanjiAreDrawnWithJapaneseFonts_data();
    void kanjiAreDrawnWithJapaneseFonts();
    void defaultLocaleIsJapanese();
};

void tst_japanesetext::initTestCase()
{
    const QStringList installed = QFontDatabase::families();
    if (std::none_of(installed.cbegin(), installed.cend(), isJapaneseFamily))
        QSKIP("no Japanese font installed");
}

void tst_japanesetext::kanjiAreDrawnWithJapaneseFonts_data()
{
    QTest::addColumn<QFont>("font");
    QTest::newRow("application font") << QApplication::font();
    for (const char *name : {"ＭＳ Ｐゴシック", "ＭＳ ゴシック", "ＭＳ Ｐ明朝", "ＭＳ 明朝", "MS Mincho", "Century"})
        QTest::newRow(name) << QFont(QString::fromUtf8(name));
}

void tst_japanesetext::kanjiAreDrawnWithJapaneseFonts()
{
    QFETCH(QFont, font);
    const QStringList families = familiesDrawing(QStringLiteral("直骨海"), font);
    QVERIFY(!families.isEmpty());
    for (const QString &family : families)
        QVERIFY2(isJapaneseFamily(family), qPrintable(family));
}

void tst_japanesetext::defaultLocaleIsJapanese()
{
    QCOMPARE(QLocale().language(), QLocale::Japanese);
}

int main(int argc, char **argv)
{
    qm::app::prepareJapaneseText();
    QApplication app(argc, argv);
    qm::app::useJapaneseFonts();
    tst_japanesetext test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_japanesetext.moc"
