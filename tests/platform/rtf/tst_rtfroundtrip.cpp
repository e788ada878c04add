#include "runs.h"

#include "platform/rtf/hiddentext.h"
#include "platform/rtf/rtf.h"

#include <QImage>
#include <QTest>
#include <QTextCursor>
#include <QUrl>

using namespace qm::rtf;

namespace {

QTextCharFormat plain(const QString &family, qreal size)
{
    QTextCharFormat f;
    f.setFontFamilies({family});
    f.setFontPointSize(size);
    return f;
}

// Japanese text in two fonts and several sizes, every character attribute, raised and lowered
// runs, and the paragraph alignments.
void fillRichDocument(QTextDocument &doc)
{
    doc.setDefaultFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
    QTextCursor c(&doc);
    const QString mincho = QStringLiteral("ＭＳ 明朝");
    const QString gothic = QStringLiteral("ＭＳ Ｐゴシック");

    c.insertText(QStringLiteral("辞書の本文 "), plain(mincho, 10.5));
    QTextCharFormat bold = plain(gothic, 12);
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("太字"), bold);
    QTextCharFormat italic = plain(QStringLiteral("Arial"), 9);
    italic.setFontItalic(true);
    italic.setFontUnderline(true);
    c.insertText(QStringLiteral("斜体と下線 ABC"), italic);
    QTextCharFormat strike = plain(mincho, 20);
    strike.setFontStrikeOut(true);
    strike.setForeground(QColor(255, 0, 0));
    c.insertText(QStringLiteral("取り消し①"), strike);

    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    c.insertBlock(centre);
    QTextCharFormat raised = plain(mincho, 4.5); // superscript of 9 pt: 4.5 pt, 72 twips up
    setCharacterOffset(raised, 72);
    c.insertText(QStringLiteral("上付き"), raised);
    QTextCharFormat lowered = plain(mincho, 5);
    setCharacterOffset(lowered, -1);
    lowered.setForeground(QColor(0, 0, 255));
    c.insertText(QStringLiteral("下付き"), lowered);
    QTextCharFormat up80 = plain(gothic, 5);
    setCharacterOffset(up80, 80);
    c.insertText(QStringLiteral("x\ty"), up80);

    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    c.insertBlock(right);
    QTextCharFormat sup = plain(gothic, 11);
    sup.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    c.insertText(QStringLiteral("ｶﾀｶﾅ\u2028改行 😀 한"), sup);
    QTextCharFormat sub = plain(gothic, 11);
    sub.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    c.insertText(QStringLiteral("{\\}"), sub);

    QTextBlockFormat left;
    left.setAlignment(Qt::AlignLeft);
    c.insertBlock(left);
    c.insertText(QStringLiteral("左"), plain(mincho, 10));
    QTextCharFormat caps = plain(QStringLiteral("Arial"), 10);
    caps.setFontCapitalization(QFont::AllUppercase);
    c.insertText(QStringLiteral(" Shown in capitals"), caps);
    QTextBlockFormat justify;
    justify.setAlignment(Qt::AlignJustify);
    c.insertBlock(justify);
    c.insertText(QStringLiteral("両端揃え -5"), plain(mincho, 10));
    c.insertText(QString(QChar::ObjectReplacementCharacter),
                 hiddenTextFormat(plain(gothic, 11), QStringLiteral("隠し\t文字\u2029次 {x}")));
    c.insertBlock(QTextBlockFormat(), plain(mincho, 28)); // an empty last line
}

// Read into a document with the editor's base font, as the widget is.
QTextDocument *readBack(const QString &rtf, QObject *parent)
{
    auto *doc = new QTextDocument(parent);
    doc->setDefaultFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
    setRtf(*doc, rtf);
    return doc;
}

} // namespace

class tst_rtfroundtrip final : public QObject {
    Q_OBJECT

private slots:
    void writeThenReadKeepsEveryAttribute()
    {
        QTextDocument doc;
        fillRichDocument(doc);
        const QString rtf = toRtf(doc);
        QTextDocument *back = readBack(rtf, this);
        QCOMPARE(runsOf(*back), runsOf(doc));
        QCOMPARE(back->toPlainText(), doc.toPlainText());
        QCOMPARE(back->blockCount(), doc.blockCount());
    }

    void readThenWriteIsStable()
    {
        QTextDocument doc;
        fillRichDocument(doc);
        const QString first = toRtf(doc);
        QTextDocument *once = readBack(first, this);
        const QString second = toRtf(*once);
        QCOMPARE(second, first);
        QTextDocument *twice = readBack(second, this);
        QCOMPARE(toRtf(*twice), second);
    }

    void writesTheStoredCharacterForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hiragana") << QStringLiteral("あいう") << QStringLiteral("\\'82\\'a0\\'82\\'a2\\'82\\'a4");
        QTest::newRow("circled digit (NEC row 13)") << QStringLiteral("①") << QStringLiteral("\\'87\\'40");
        QTest::newRow("half-width katakana") << QStringLiteral("ｱ") << QStringLiteral("\\'b1");
        QTest::newRow("ascii") << QStringLiteral("ABC 123") << QStringLiteral("ABC 123");
        QTest::newRow("emoji outside CP932") << QStringLiteral("😀") << QStringLiteral("\\u-10179?\\u-8704?");
        QTest::newRow("bmp outside CP932") << QStringLiteral("한") << QStringLiteral("\\u-10916?");
        QTest::newRow("rtf specials") << QStringLiteral("a{b}\\c") << QStringLiteral("a\\{b\\}\\\\c");
        QTest::newRow("spaces") << QStringLiteral("\u00a0\u00ad\u2011") << QStringLiteral("\\~\\-\\_");
    }

    void writesTheStoredCharacterForms()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(escapeText(text), expected);
        // The same form appears inside a written body, so a body search finds it.
        const QString rtf = plainTextToRtf(text, QFont(QStringLiteral("Arial"), 10));
        QVERIFY2(rtf.contains(expected), qPrintable(rtf));
        for (QChar c : rtf)
            QVERIFY(c.unicode() < 0x80);
        QCOMPARE(rtfToPlainText(rtf), text);
    }

    void headerAndFontTable()
    {
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("ＭＳ 明朝"), 9));
        QTextCursor(&doc).insertText(QStringLiteral("x"));
        const QString rtf = toRtf(doc);
        QVERIFY2(rtf.startsWith(QStringLiteral("{\\rtf1\\ansi\\ansicpg932\\deff0")), qPrintable(rtf));
        QVERIFY2(rtf.contains(QStringLiteral("{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}")),
                 qPrintable(rtf));
        QVERIFY(rtf.contains(QStringLiteral("\\fs18 x\\par")));
        QVERIFY(rtf.endsWith(QStringLiteral("}\r\n")));
    }

    void selectionOnly()
    {
        QTextDocument doc;
        fillRichDocument(doc);
        QTextCursor c(&doc);
        c.setPosition(doc.begin().position() + 6);                 // after "辞書の本文 "
        c.setPosition(doc.begin().next().position() + 3, QTextCursor::KeepAnchor); // "上付き"
        const QString rtf = selectionToRtf(c);
        QTextDocument *back = readBack(rtf, this);
        QCOMPARE(back->toPlainText(), QStringLiteral("太字斜体と下線 ABC取り消し①\n上付き"));
        const QList<Run> runs = runsOf(*back);
        QVERIFY(runs.first().bold);
        QCOMPARE(runs.last().offset, 72);
        QCOMPARE(runs.last().alignment, int(Qt::AlignHCenter));

        // A selection that ends with a paragraph mark keeps it.
        c.setPosition(0);
        c.setPosition(doc.begin().length(), QTextCursor::KeepAnchor);
        QCOMPARE(readBack(selectionToRtf(c), this)->toPlainText(), doc.begin().text() + u'\n');
    }

    void picturesRoundTrip()
    {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(QColor(10, 200, 30));
        image.setPixelColor(1, 2, QColor(255, 0, 255));
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
        doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("pic:a")), image);
        QTextCursor c(&doc);
        c.insertText(QStringLiteral("前"));
        QTextImageFormat natural;
        natural.setName(QStringLiteral("pic:a"));
        c.insertImage(natural);
        QTextImageFormat scaled = natural;
        scaled.setWidth(40);
        scaled.setHeight(30);
        c.insertImage(scaled);
        c.insertText(QStringLiteral("後"));

        const QString rtf = toRtf(doc);
        QVERIFY(rtf.contains(QStringLiteral("{\\pict\\pngblip\\picw4\\pich3\\picwgoal60\\pichgoal45")));
        QTextDocument *back = readBack(rtf, this);
        QCOMPARE(runsOf(*back), runsOf(doc));
        const QList<Run> runs = runsOf(*back);
        QCOMPARE(runs.at(1).image, QStringLiteral("4x3"));
        QCOMPARE(runs.at(2).image, QStringLiteral("40x30"));
        auto second = back->begin().begin();
        ++second;
        const QTextImageFormat read = second.fragment().charFormat().toImageFormat();
        const QImage readImage = back->resource(QTextDocument::ImageResource, QUrl(read.name())).value<QImage>();
        QCOMPARE(readImage.pixelColor(1, 2), QColor(255, 0, 255));
        QCOMPARE(toRtf(*back), rtf);
    }

    // Characters that carry no text (control characters, a stray paragraph separator or object
    // placeholder) leave nothing behind: no text, no font-table entry, no change on a re-read.
    void textlessCharactersLeaveNoTrace()
    {
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
        setRtf(doc, QStringLiteral("{\\rtf1{\\fonttbl{\\f0 A;}{\\f1 \\'04;}{\\f2 B;}}\\f0 a{\\f2 \\'01\u2029\ufffc}b{\\f1 c}}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("abc"));
        const QString rtf = toRtf(doc);
        QVERIFY2(!rtf.contains(QStringLiteral("B;")), qPrintable(rtf));
        QCOMPARE(toRtf(*readBack(rtf, this)), rtf);
    }

    // Hidden text next to hidden text in the same attributes reads back as one run, so it is
    // written as one; a picture or visible text between keeps them apart.
    void adjacentHiddenTextIsOneRun()
    {
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("Noto Sans CJK JP"), 10));
        QTextCursor c(&doc);
        const auto hidden = [](const char *text) {
            return hiddenTextFormat(QTextCharFormat(), QString::fromLatin1(text));
        };
        c.insertText(QString(2, QChar::ObjectReplacementCharacter), hidden("x"));
        c.insertText(QString(QChar::ObjectReplacementCharacter), hidden("y"));
        c.insertText(QStringLiteral("a"));
        c.insertText(QString(QChar::ObjectReplacementCharacter), hidden("z"));
        const QString rtf = toRtf(doc);
        QVERIFY2(rtf.contains(QStringLiteral("{\\v xxy}a{\\v z}")), qPrintable(rtf));
        QCOMPARE(toRtf(*readBack(rtf, this)), rtf);
    }

    void emptyDocuments()
    {
        QTextDocument doc;
        QTextDocument *back = readBack(toRtf(doc), this);
        QVERIFY(back->isEmpty());
        QCOMPARE(back->blockCount(), 1);
        QCOMPARE(rtfToPlainText(plainTextToRtf(QStringLiteral("a\n\nb\n"), QFont())),
                 QStringLiteral("a\n\nb\n"));
    }
};

QTEST_MAIN(tst_rtfroundtrip)
#include "tst_rtfroundtrip.moc"
