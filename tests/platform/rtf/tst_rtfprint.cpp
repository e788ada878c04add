#include "platform/rtf/printing.h"
#include "platform/rtf/rtf.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace qm::rtf;

namespace {

// Pages of a PDF written by Qt: one "/Type /Page" object per page.
int pdfPages(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    if (!pdf.startsWith("%PDF"))
        return -1;
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "));
}

// The text a reader extracts from a PDF, without the white space (lines are laid out anew).
QString extractedText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).remove(QRegularExpression(QStringLiteral("\\s")));
}

// Kanji whose radicals, or compatibility forms, fonts draw with the kanji's own glyph.
const QString SharedGlyphKanji = QStringLiteral("赤大一人口山川日月木水火土金戸長見言走足車門雨風食首香馬骨高鬼魚鳥黒");

} // namespace

class tst_rtfprint final : public QObject {
    Q_OBJECT

private slots:
    void printsDocumentAndSelectionToPdf()
    {
        QTextDocument doc;
        QString rtf = QStringLiteral("{\\rtf1\\ansicpg932 ");
        for (int i = 0; i < 300; ++i)
            rtf += QStringLiteral("\\'8d\\'73 %1\\par ").arg(i); // "行 i"
        setRtf(doc, QString(rtf + u'}'));

        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString all = dir.filePath(QStringLiteral("all.pdf"));
        printer.setOutputFileName(all);
        QVERIFY(printDocument(doc, printer));
        const int allPages = pdfPages(all);
        QVERIFY2(allPages > 1, qPrintable(QString::number(allPages)));

        QTextCursor selection(&doc);
        selection.setPosition(doc.findBlockByNumber(10).position());
        selection.setPosition(doc.findBlockByNumber(12).position(), QTextCursor::KeepAnchor);
        const QString part = dir.filePath(QStringLiteral("part.pdf"));
        printer.setOutputFileName(part);
        QVERIFY(printSelection(selection, printer));
        QCOMPARE(pdfPages(part), 1);
        QCOMPARE(doc.blockCount(), 300); // the document itself is untouched

        // No selection prints everything.
        const QString none = dir.filePath(QStringLiteral("none.pdf"));
        printer.setOutputFileName(none);
        QVERIFY(printSelection(QTextCursor(&doc), printer));
        QCOMPARE(pdfPages(none), allPages);
    }

    // Each printed kanji extracts as itself, in rich text of several fonts and sizes, in the
    // whole document and in a selection, and the entries the repair rewrites stay readable.
    void printedKanjiExtractAsThemselves()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        QTextDocument doc;
        doc.setHtml(QStringLiteral("<p>%1 <b>%1</b></p><p style='font-size:20pt'>漢字 %1 かな ABC 123</p>").arg(SharedGlyphKanji));
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("kanji.pdf")));
        QVERIFY(printDocument(doc, printer));
        const QString expected = doc.toPlainText().remove(QRegularExpression(QStringLiteral("\\s")));
        // Qt numbers the page at its foot.
        QCOMPARE(extractedText(printer.outputFileName()), expected + u'1');

        QTextCursor selection(&doc);
        selection.setPosition(2);
        selection.setPosition(12, QTextCursor::KeepAnchor);
        printer.setOutputFileName(dir.filePath(QStringLiteral("part.pdf")));
        QVERIFY(printSelection(selection, printer));
        QCOMPARE(extractedText(printer.outputFileName()), SharedGlyphKanji.mid(2, 10) + u'1');
    }

    // Plain text keeps the copies and the page order the dialog chose, as rich text does.
    void plainTextKeepsCopiesAndPageOrder()
    {
        QStringList lines;
        for (int i = 0; i < 150; ++i)
            lines << QStringLiteral("行 %1").arg(i);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("once.pdf")));
        QVERIFY(printPlainText(lines.join(u'\n'), printer));
        const int once = pdfPages(printer.outputFileName());
        QVERIFY2(once > 1, qPrintable(QString::number(once)));

        printer.setCopyCount(2);
        printer.setPageOrder(QPrinter::LastPageFirst);
        printer.setOutputFileName(dir.filePath(QStringLiteral("twice.pdf")));
        QVERIFY(printPlainText(lines.join(u'\n'), printer));
        QCOMPARE(pdfPages(printer.outputFileName()), 2 * once);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            return;
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-l"), QStringLiteral("1"), printer.outputFileName(), QStringLiteral("-")});
        p.waitForFinished(30000);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(QStringLiteral("行 149")));
    }
};

QTEST_MAIN(tst_rtfprint)
#include "tst_rtfprint.moc"
