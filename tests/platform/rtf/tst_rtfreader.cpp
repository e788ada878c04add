#include "runs.h"

#include "platform/rtf/rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QTextCursor>
#include <QUrl>

using namespace qm::rtf;

namespace {

QString latin(const char *rtf)
{
    return QString::fromLatin1(rtf);
}

QList<Run> read(const QString &rtf)
{
    QTextDocument doc;
    setRtf(doc, rtf);
    return runsOf(doc);
}

QString pngHex(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toHex());
}

} // namespace

class tst_rtfreader final : public QObject {
    Q_OBJECT

private slots:
    // As a Japanese word processor writes it: CP932 font names and text in \'hh pairs, Latin
    // text in a Latin font with the Japanese font attached through \dbch\af.
    void japaneseWordProcessorOutput()
    {
        const QString rtf = latin(
            "{\\rtf1\\ansi\\ansicpg932\\uc2\\deff0\\deflang1033\\deflangfe1041"
            "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
            "{\\f1\\fmodern\\fcharset128\\fprq1{\\*\\panose 02020609040205080304}"
            "\\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9{\\*\\falt MS Mincho};}}"
            "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"
            "{\\stylesheet{\\qj \\fs21 Normal;}}{\\info{\\title \\'83\\'5e}{\\author x}}"
            "{\\*\\generator Some Writer 1.0;}\\pard\\plain \\qj \\fs21"
            "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\hich\\af1\\dbch\\af1\\loch\\f0 caf\\'e9 }"
            "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\hich\\af0\\loch\\af0\\dbch\\af1 \\'82\\'a0\\'82\\'a2}"
            "{\\f1\\cf2\\b \\'93\\'fa\\'96\\'7b\\u35486\\'8c\\'ea}\\par"
            "\\pard\\qc {\\f1\\fs40\\up6 \\'87\\'40}{\\sub x}\\par}");
        const QList<Run> runs = read(rtf);
        QCOMPARE(runs.size(), 4);
        QCOMPARE(runs[0].text, QStringLiteral("café あい"));
        QCOMPARE(runs[0].family, QStringLiteral("Times New Roman"));
        QCOMPARE(runs[0].size, 10.5);
        QCOMPARE(runs[0].alignment, int(Qt::AlignJustify));
        QCOMPARE(runs[1].text, QStringLiteral("日本語"));
        QCOMPARE(runs[1].family, QStringLiteral("ＭＳ 明朝"));
        QVERIFY(runs[1].bold);
        QCOMPARE(runs[1].color, qRgb(255, 0, 0));
        QCOMPARE(runs[2].text, QStringLiteral("①"));
        QCOMPARE(runs[2].size, 20.0);
        QCOMPARE(runs[2].offset, 60);
        QCOMPARE(runs[2].alignment, int(Qt::AlignHCenter));
        QCOMPARE(runs[3].verticalAlignment, int(QTextCharFormat::AlignSubScript));
    }

    void unicodeEscapes_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("uc1 with fallback") << latin("{\\rtf1\\uc1 a\\u8364?b}") << QStringLiteral("a€b");
        QTest::newRow("negative value") << latin("{\\rtf1\\uc1\\u-3913?}") << QStringLiteral("\uF0B7");
        QTest::newRow("surrogate pair") << latin("{\\rtf1\\uc1\\u-10179?\\u-8704?!}") << QStringLiteral("😀!");
        QTest::newRow("code point above 16 bits") << latin("{\\rtf1\\u128512?}") << QStringLiteral("😀");
        QTest::newRow("uc2 skips a hex pair") << latin("{\\rtf1\\ansicpg932\\uc2\\u12354\\'82\\'a0z}") << QStringLiteral("あz");
        QTest::newRow("uc0") << latin("{\\rtf1\\uc0\\u12354 z}") << QStringLiteral("あz");
        QTest::newRow("uc in group is local") << latin("{\\rtf1{\\uc2\\u12354 xy}\\u12354?q}") << QStringLiteral("ああq");
        QTest::newRow("skip stops at group end") << latin("{\\rtf1{\\uc3\\u12354 x}yz}") << QStringLiteral("あyz");
        QTest::newRow("out of range ignored") << latin("{\\rtf1\\u99999999?\\uc99 \\u65?b}") << QStringLiteral("?Ab");
        QTest::newRow("lone surrogates") << latin("{\\rtf1\\u-10179?x\\u-8704?}") << QStringLiteral("\uFFFDx\uFFFD");
        // Office suites write a character outside the BMP as two halves, signed or unsigned, and
        // may change \uc between them; each half skips the fallback its own \uc asks for.
        QTest::newRow("unsigned halves") << latin("{\\rtf1\\uc1\\u55357?\\u56832?}") << QStringLiteral("😀");
        QTest::newRow("uc changes between halves")
            << latin("{\\rtf1\\uc0 \\u55357\\uc1 \\u56832\\'3f!}") << QStringLiteral("😀!");
        QTest::newRow("two-byte fallback per half")
            << latin("{\\rtf1\\ansicpg932\\uc2\\u-10174\\'81\\'48\\u-8265\\'81\\'48x}") << QStringLiteral("𠮷x");
        QTest::newRow("plain fallback, then uc0")
            << latin("{\\rtf1\\uc2\\u55357??\\uc0 \\u56832 z}") << QStringLiteral("😀z");
        QTest::newRow("halves in sibling groups")
            << latin("{\\rtf1{\\uc0\\u55357}{\\u56832 ?}z}") << QStringLiteral("😀z");
        QTest::newRow("lone half across uc change")
            << latin("{\\rtf1\\uc0\\u55357\\uc1 x\\u56832?}") << QStringLiteral("\uFFFDx\uFFFD");
        // \upr holds a text twice: for readers without Unicode, then (in \ud) with it.
        QTest::newRow("upr keeps only the unicode text")
            << latin("{\\rtf1 {\\upr{\\'3f}{\\*\\ud{\\u12354?}}}z}") << QStringLiteral("あz");
        QTest::newRow("upr with groups inside")
            << latin("{\\rtf1 {\\upr{\\b a{\\i b}\\par}{\\*\\ud{\\b A{\\i B}}}}z}") << QStringLiteral("ABz");
    }

    void unicodeEscapes()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QCOMPARE(rtfToPlainText(rtf), text);
    }

    void bytesAndCodePages_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("default is 1252") << latin("{\\rtf1\\ansi \\'e9\\'80}") << QStringLiteral("é€");
        QTest::newRow("ansicpg932") << latin("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'b1}") << QStringLiteral("あｱ");
        QTest::newRow("charset128 in a 1252 document")
            << latin("{\\rtf1\\ansi{\\fonttbl{\\f0 A;}{\\f1\\fcharset128 B;}}\\f1\\'82\\'a0\\f0\\'e9}")
            << QStringLiteral("あé");
        QTest::newRow("lead byte without trail") << latin("{\\rtf1\\ansicpg932 \\'82A}") << QStringLiteral("\uFFFDA");
        QTest::newRow("lead byte with a bad trail") << latin("{\\rtf1\\ansicpg932 \\'82\\'20}") << QStringLiteral("\uFFFD ");
        QTest::newRow("broken hex escape") << latin("{\\rtf1 a\\'zb}") << QStringLiteral("azb");
    }

    void bytesAndCodePages()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, text);
        QCOMPARE(rtfToPlainText(rtf), text);
    }

    void rawFileBytes()
    {
        // A file with raw Shift-JIS bytes in a \fcharset128 font and a 1252 byte in a Latin font.
        QByteArray file("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 J;}{\\f1\\fcharset0 L;}}\\f0 ");
        file.append("\x82\xa0\xb1", 3);
        file.append("\\f1 \xe9}", 6);
        QVERIFY(looksLikeRtf(file));
        QTextDocument doc;
        setRtfBytes(doc, file);
        QCOMPARE(doc.toPlainText(), QStringLiteral("あｱé"));
        // Text that was decoded already keeps its characters.
        setRtf(doc, QStringLiteral("{\\rtf1\\ansi\\f0 あé}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("あé"));
    }

    void destinationsAndUnknownWords()
    {
        const QString rtf = latin(
            "{\\rtf1 {\\*\\unknowndest skip {nested} me}A\\unknownword B"
            "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}"
            "{\\header head}C\\~D\\tab E\\line F\\emdash\\lquote G"
            "{\\*\\shppict{\\pict\\pngblip 00}}{\\nonshppict{\\pict\\wmetafile8 0102}}"
            "{\\object{\\*\\objdata 0102}{\\result R}}\\cell H\\row I\\par}tail");
        QCOMPARE(rtfToPlainText(rtf), QStringLiteral("ABlinkC\u00a0D\tE\nF\u2014\u2018GR\tH\nI"));
        // The text a writer adds for readers without nested tables repeats the nested table.
        QCOMPARE(rtfToPlainText(latin("{\\rtf1 a\\nestcell{\\nonesttables\\par a\\tab}\\row b}")),
                 QStringLiteral("a\t\nb"));
    }

    void pictures()
    {
        QImage image(3, 2, QImage::Format_ARGB32);
        image.fill(Qt::white);
        image.setPixelColor(2, 1, QColor(1, 2, 3));
        const QString hex = pngHex(image);
        // Hex split over lines, inside the \shppict of a word processor, scaled to 200 %.
        const QString rtf = QStringLiteral(
            "{\\rtf1 x{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn a}{\\sv 1}}}\\picscalex200\\picscaley200"
            "\\pngblip\\picw3\\pich2\\picwgoal45\\pichgoal30\r\n%1\r\n%2}}{\\nonshppict{\\pict\\wmetafile8 00}}y}")
                                  .arg(hex.left(10), hex.mid(10));
        QTextDocument doc;
        setRtf(doc, rtf);
        const QList<Run> runs = runsOf(doc);
        QCOMPARE(runs.size(), 3);
        QCOMPARE(runs[1].image, QStringLiteral("6x4"));
        auto it = doc.begin().begin();
        ++it;
        const QTextImageFormat format = it.fragment().charFormat().toImageFormat();
        const QImage read = doc.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
        QCOMPARE(read.pixelColor(2, 1), QColor(1, 2, 3));

        // The same picture as \bin data.
        QByteArray png = QByteArray::fromHex(hex.toLatin1());
        QByteArray bin("{\\rtf1 {\\pict\\pngblip\\bin");
        bin.append(QByteArray::number(png.size()) + ' ' + png + "}z}");
        setRtfBytes(doc, bin);
        QCOMPARE(runsOf(doc).first().image, QStringLiteral("3x2"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("\uFFFCz"));

        // A picture whose data is not a PNG is left out, the text stays.
        QCOMPARE(rtfToPlainText(latin("{\\rtf1 a{\\pict\\pngblip 0102030405}b}")), QStringLiteral("ab"));
    }

    void capitals()
    {
        QTextDocument doc;
        setRtf(doc, latin("{\\rtf1 a{\\caps b\\caps0 c}d\\caps e\\plain f}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("abcdef")); // the stored case stays
        QList<bool> caps;
        for (const Run &r : runsOf(doc))
            caps.append(r.caps);
        QCOMPARE(caps, (QList<bool>{false, true, false, true, false}));
    }

    // Hidden text is kept but never shown: the visible text and the layout are those of the
    // document without it, text typed next to it is not hidden, and saving writes it back.
    void hiddenText()
    {
        const QString rtf = latin("{\\rtf1 1 {\\v secret\\par more}2 \\v x\\v0 3 \\v y\\plain 4\\par 5}");
        QCOMPARE(rtfToPlainText(rtf), QStringLiteral("1 2 3 4\n5"));
        QTextDocument doc;
        QTextDocument shown;
        setRtf(doc, rtf);
        setRtf(shown, latin("{\\rtf1 1 2 3 4\\par 5}"));
        QCOMPARE(doc.blockCount(), 2);
        QVERIFY2(qAbs(doc.idealWidth() - shown.idealWidth()) < 0.5,
                 qPrintable(QStringLiteral("%1 %2").arg(doc.idealWidth()).arg(shown.idealWidth())));
        // Also in a document that was laid out before it was read, as an editor's is.
        QTextDocument editor;
        editor.documentLayout();
        setRtf(editor, rtf);
        QVERIFY(qAbs(editor.idealWidth() - shown.idealWidth()) < 0.5);

        QTextCursor c(&doc);
        c.setPosition(3); // after "1 " and the first hidden run
        c.insertText(QStringLiteral("T"));
        const QString saved = toRtf(doc);
        QVERIFY2(saved.contains(QStringLiteral("{\\v secret\\par more}")), qPrintable(saved));
        QCOMPARE(rtfToPlainText(saved), QStringLiteral("1 T2 3 4\n5"));
        QTextDocument again;
        setRtf(again, saved);
        QCOMPARE(toRtf(again), saved);
    }

    // Footnotes are numbered where they were and follow the text after an empty line.
    void footnotes()
    {
        // As word processors write them: the note in a superscript group with the automatic
        // number (\chftn), its text in paragraphs of its own; also as an optional destination.
        const QString rtf = latin(
            "{\\rtf1 Body{\\super\\chftn{\\footnote\\pard\\plain{\\super\\chftn} First \\b note\\par"
            " line\\u12354?}} more{\\*\\footnote Two\\v  hidden}.\\par End\\par}");
        QTextDocument doc;
        setRtf(doc, rtf);
        QCOMPARE(rtfToPlainText(rtf), QStringLiteral("Body[1] more[2].\nEnd\n\n[1] First note\nlineあ\n[2] Two"));
        const QList<Run> runs = runsOf(doc);
        QCOMPARE(runs[1].text, QStringLiteral("[1]"));
        QCOMPARE(runs[1].verticalAlignment, int(QTextCharFormat::AlignSuperScript));
        QCOMPARE(runs[5].text, QStringLiteral("[1] First "));
        QVERIFY(!runs[5].bold);
        QCOMPARE(runs[6].text, QStringLiteral("note"));
        QVERIFY(runs[6].bold);
        QCOMPARE(runs.last().hidden, QStringLiteral(" hidden"));

        // Pasted into a line, the notes end what was inserted and the rest of the line follows.
        doc.setPlainText(QStringLiteral("before|after"));
        QTextCursor c(&doc);
        c.setPosition(6);
        c.setPosition(7, QTextCursor::KeepAnchor);
        insertRtf(c, latin("{\\rtf1 x{\\footnote n}y}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("beforex[1]y\n\n[1] n\nafter"));
    }

    void insertsAtTheCursor()
    {
        QTextDocument doc;
        QTextCursor c(&doc);
        c.insertText(QStringLiteral("HelloWorld"));
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        c.setBlockFormat(right);
        c.setPosition(5);
        insertRtf(c, latin("{\\rtf1\\pard\\qc {\\b X}\\par}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("HelloXWorld"));
        QCOMPARE(doc.begin().blockFormat().alignment(), Qt::AlignRight); // not our paragraph
        QTextCursor check(&doc);
        check.setPosition(6);
        QCOMPARE(check.charFormat().fontWeight(), int(QFont::Bold));

        // A selection is replaced, and the whole insertion undoes in one step.
        c.setPosition(0);
        c.setPosition(5, QTextCursor::KeepAnchor);
        insertRtf(c, latin("{\\rtf1 A\\par B}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("A\nBXWorld"));
        doc.undo();
        QCOMPARE(doc.toPlainText(), QStringLiteral("HelloXWorld"));
    }

    void paragraphsAndStateScope()
    {
        QTextDocument doc;
        setRtf(doc, latin("{\\rtf1\\qr a{\\b\\qc b\\par}c\\par\\pard d\\plain\\par\\par}"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("ab\nc\nd\n"));
        const QList<Run> runs = runsOf(doc);
        QCOMPARE(runs[0].alignment, int(Qt::AlignHCenter)); // the paragraph mark decides
        QVERIFY(runs[1].bold);
        QCOMPARE(runs[2].alignment, int(Qt::AlignRight));   // group ended, \qr is back
        QVERIFY(!runs[2].bold);
        QCOMPARE(runs[3].alignment, int(Qt::AlignLeft)); // \pard: the default
        QVERIFY(!looksLikeRtf(QStringLiteral("plain text")));
        QVERIFY(looksLikeRtf(QStringLiteral("\r\n {\\rtf1}")));
    }
};

QTEST_MAIN(tst_rtfreader)
#include "tst_rtfreader.moc"
