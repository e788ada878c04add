#include "printing.h"

#include "hiddentext.h"
#include "pdftext.h"

#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace qm::rtf {

QRect printBody(const QPrinter &printer)
{
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int margin = qRound(printer.resolution() * 2 / 2.54);
    const QRect body(0, 0, page.width(), page.height());
    const QRect inner = body.adjusted(margin, margin, -margin, -margin);
    // A page too small for the margin is printed on whole.
    return inner.isValid() ? inner : body;
}

bool printDocument(const QTextDocument &document, QPrinter &printer)
{
    if (!printer.isValid())
        return false;
    document.print(&printer);
    if (printer.printerState() == QPrinter::Error)
        return false;
    return repairPrintedText(printer, document.toPlainText(), fontsOf(document));
}

bool printSelection(const QTextCursor &cursor, QPrinter &printer)
{
    const QTextDocument *document = cursor.document();
    if (!document)
        return false;
    if (!cursor.hasSelection())
        return printDocument(*document, printer);
    // A copy keeps the images and the default font; everything outside the selection goes.
    const std::unique_ptr<QTextDocument> copy(document->clone());
    layOutHiddenText(*copy);
    QTextCursor cut(copy.get());
    cut.setPosition(cursor.selectionEnd());
    cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    cut.setPosition(0);
    cut.setPosition(cursor.selectionStart(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    return printDocument(*copy, printer);
}

} // namespace qm::rtf
