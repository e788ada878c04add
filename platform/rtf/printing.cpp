#include "printing.h"

#include "hiddentext.h"

#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace qm::rtf {

bool printDocument(const QTextDocument &document, QPrinter &printer)
{
    if (!printer.isValid())
        return false;
    document.print(&printer);
    return printer.printerState() != QPrinter::Error;
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
