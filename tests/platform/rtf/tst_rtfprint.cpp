#include "platform/rtf/printing.h"
#include "platform/rtf/rtf.h"

#include <QFile>
#include <QPrinter>
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

} // namespace

class TestRtfPrint final : public QObject {
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
};

QTEST_MAIN(TestRtfPrint)
#include "tst_rtfprint.moc"
