#include "platform/print/pdftext.h"

#include <QTest>
#include <QTextDocument>

using namespace qm::print;

class tst_pdftext final : public QObject
{
    Q_OBJECT

private slots:
    // The glyph map survives a round trip through its text form, ranges and arrays alike.
    void toUnicodeMapsReadBackAsWritten()
    {
        const QByteArray qtStyle = "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n2 beginbfrange\n"
                                   "<0000> <0000> <0000>\n<0001> <0003> [<2F9A> <0009> <D842DFB7>]\n<0004> <0005> <0041>\n"
                                   "endbfrange\n1 beginbfchar\n<0006> <2F24>\nendbfchar\n";
        const QMap<uint, QString> map = parseToUnicode(qtStyle);
        QCOMPARE(map.size(), 7);
        QCOMPARE(map.value(1), QString(QChar(0x2F9A)));
        QCOMPARE(map.value(3), QStringLiteral("𠮷"));
        QCOMPARE(map.value(5), QStringLiteral("B"));
        QCOMPARE(parseToUnicode(writeToUnicode(map)), map);
        QVERIFY(parseToUnicode("1 beginbfrange\n<0001> <0002> [<0041>\nendbfrange\n").isEmpty());
    }

    // A radical or a control character names the glyph's other character; other text stays.
    void sharedGlyphsAreNamedByThePrintedCharacter()
    {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("赤 戸"));
        const GlyphText glyphText(doc.toPlainText(), fontsOf(doc));
        QCOMPARE(glyphText.textFor(QString(QChar(0x2F9A))), QStringLiteral("赤"));
        QCOMPARE(glyphText.textFor(QString(QChar(0x2F3E))), QStringLiteral("戸"));
        QCOMPARE(glyphText.textFor(QStringLiteral("\t")), QStringLiteral(" "));
        QCOMPARE(glyphText.textFor(QStringLiteral("赤")), QStringLiteral("赤"));
        QCOMPARE(glyphText.textFor(QStringLiteral("ff")), QStringLiteral("ff"));
    }
};

QTEST_MAIN(tst_pdftext)
#include "tst_pdftext.moc"
