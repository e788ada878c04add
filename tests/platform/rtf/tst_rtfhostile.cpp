#include "platform/rtf/picture.h"
#include "platform/rtf/rtf.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace qm::rtf;

namespace {
QString plain(const QString &rtf)
{
    return rtfToPlainText(rtf);
}
} // namespace

// Malformed and hostile RTF must end quickly and keep whatever text it holds.
class tst_rtfhostile final : public QObject {
    Q_OBJECT

private slots:
    void deepNesting()
    {
        const int depth = 100000;
        const QString rtf = QStringLiteral("{\\rtf1 a") + QString(depth, u'{') + QStringLiteral("\\b b")
                            + QString(depth, u'}') + QStringLiteral("c}");
        QCOMPARE(plain(rtf), QStringLiteral("abc"));
        // Never closed at all.
        QCOMPARE(plain(QStringLiteral("{\\rtf1 x") + QString(depth, u'{') + u'y'), QStringLiteral("xy"));
        // Deep inside a skipped destination.
        QCOMPARE(plain(QStringLiteral("{\\rtf1 {\\*\\x") + QString(depth, u'{') + QString(depth, u'}')
                                + QStringLiteral("}z}")),
                 QStringLiteral("z"));
    }

    void hugeNumbersAndWords()
    {
        const QString digits(10000, u'9');
        QCOMPARE(plain(QStringLiteral("{\\rtf1 \\fs") + digits + QStringLiteral(" a\\u") + digits
                                + QStringLiteral("?\\uc") + digits + QStringLiteral(" \\cf-") + digits
                                + QStringLiteral(" b\\up") + digits + QStringLiteral(" c}")),
                 QStringLiteral("a?bc"));
        const QString word(100000, u'x');
        QCOMPARE(plain(QStringLiteral("{\\rtf1 \\") + word + QStringLiteral("1 d}")), QStringLiteral("d"));
        QTextDocument doc;
        setRtf(doc, QString(QStringLiteral("{\\rtf1 \\fs") + digits + QStringLiteral(" big}")));
        QVERIFY(doc.begin().begin().fragment().charFormat().fontPointSize() <= 1638);
    }

    void binaryLengths()
    {
        QCOMPARE(plain(QStringLiteral("{\\rtf1 a\\bin999999999 xyz}")), QStringLiteral("a"));
        QCOMPARE(plain(QStringLiteral("{\\rtf1 a{\\pict\\pngblip\\bin2147483647 }b}")), QStringLiteral("a"));
        QCOMPARE(plain(QStringLiteral("{\\rtf1 a\\bin-5 b\\bin0 c}")), QStringLiteral("abc"));
        // \bin skipped as the fallback of \u takes its data along.
        QCOMPARE(plain(QStringLiteral("{\\rtf1 \\u65\\bin3 {{{b}")), QStringLiteral("Ab"));
    }

    // Pictures that are small in the file but large once decoded share one budget per document:
    // those past it are left out, the text around them stays.
    void decodedPicturesShareABudget()
    {
        QImage image(2048, 2048, QImage::Format_RGB32);
        image.fill(Qt::white);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(image.save(&buffer, "PNG"));
        const qint64 decoded = image.sizeInBytes();
        const int count = int(MaxDecodedPictureBytes / decoded) + 4;
        QString rtf = QStringLiteral("{\\rtf1 ");
        QString text;
        for (int i = 0; i < count; ++i) {
            rtf += QStringLiteral("%1{\\pict\\pngblip %2}").arg(i).arg(QString::fromLatin1(png.toHex()));
            text += QString::number(i);
        }
        QTextDocument doc;
        setRtf(doc, QString(rtf + QStringLiteral("end}")));
        QString shown = doc.toPlainText();
        const qsizetype kept = shown.count(QChar::ObjectReplacementCharacter);
        QVERIFY2(kept > 0 && kept * decoded <= MaxDecodedPictureBytes, qPrintable(QString::number(kept)));
        QCOMPARE(shown.remove(QChar::ObjectReplacementCharacter), text + QStringLiteral("end"));
    }

    void hugeTables()
    {
        QString fonts = QStringLiteral("{\\rtf1{\\fonttbl");
        for (int i = 0; i < 100000; ++i)
            fonts += QStringLiteral("{\\f%1\\fcharset128 F%1;}").arg(i);
        fonts += QStringLiteral("}{\\colortbl") + QString(100000, u';')
                 + QStringLiteral("}\\f3\\cf99999 text\\f99999 more}");
        QTextDocument doc;
        setRtf(doc, fonts);
        QCOMPARE(doc.toPlainText(), QStringLiteral("textmore"));
        QCOMPARE(doc.begin().begin().fragment().charFormat().fontFamilies().toStringList(),
                 QStringList{QStringLiteral("F3")});
        // A font name that never ends is cut, not grown without bound.
        setRtf(doc, QString(QStringLiteral("{\\rtf1{\\fonttbl\\f0 ") + QString(100000, u'n') + QStringLiteral(";}x}")));
        QVERIFY(doc.begin().begin().fragment().charFormat().fontFamilies().toStringList().first().size() <= 256);
    }

    void everyTruncation()
    {
        QTextDocument source;
        setRtf(source, QStringLiteral("{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 \\'82\\'6c;}}"
                                      "{\\colortbl;\\red1\\green2\\blue3;}\\qc\\b\\cf1 \\'82\\'a0 A\\u-10179?\\u-8704?"
                                      "{\\pict\\pngblip 89504e47}\\par\\i x\\line y}"));
        const QString rtf = toRtf(source);
        const QString whole = QStringLiteral("あ A😀\nx\ny");
        QCOMPARE(rtfToPlainText(rtf), whole);
        for (qsizetype n = 0; n < rtf.size(); ++n) {
            const QString text = rtfToPlainText(QStringView(rtf).first(n));
            QVERIFY2(text.size() <= whole.size(), qPrintable(text));
        }
    }

    void strayStructure()
    {
        QCOMPARE(plain(QStringLiteral("}}}{\\rtf1 a}")), QStringLiteral("a"));
        QCOMPARE(plain(QStringLiteral("\\")), QString());
        QCOMPARE(plain(QStringLiteral("{\\rtf1 a\\'")), QStringLiteral("a"));
        QCOMPARE(plain(QStringLiteral("{\\rtf1 \\*\\*\\* a}")), QStringLiteral(" a")); // symbols take no delimiter
        QCOMPARE(plain(QStringLiteral("no markup at all")), QStringLiteral("no markup at all"));
        QCOMPARE(plain(QStringLiteral("{\\rtf1 \\😀x}")), QStringLiteral("x")); // not half a character
        QCOMPARE(escapeText(QString(QChar(0xDC00))), QStringLiteral("\\u-3?"));  // half is unreadable
        QByteArray controls("{\\rtf1 a\x01\x00\x1f" "b}", 13);
        QTextDocument doc;
        setRtfBytes(doc, controls);
        QCOMPARE(doc.toPlainText(), QStringLiteral("ab"));
    }
};

QTEST_MAIN(tst_rtfhostile)
#include "tst_rtfhostile.moc"
