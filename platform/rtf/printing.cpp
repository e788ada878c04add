#include "printing.h"

#include "hiddentext.h"
#include "pdftext.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QRawFont>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <memory>

namespace qm::rtf {
namespace {

// A font that holds Japanese: the given one when it does, else the first Japanese family, so a
// line of Japanese text never comes out as boxes.
QFont japaneseCapableFont(QFont font)
{
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Japanese);
    if (raw.isValid() && raw.supportsCharacter(QChar(0x3042)) && raw.supportsCharacter(QChar(0x6F22)))
        return font;
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    if (!families.isEmpty())
        font.setFamilies({families.first()});
    return font;
}

} // namespace

QFont plainPrintFont()
{
    return japaneseCapableFont(QFont());
}

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

bool printPlainText(const QString &text, QPrinter &printer)
{
    if (!printer.isValid())
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QFont font = plainPrintFont();
    painter.setFont(font);
    const QFontMetrics metrics(font, &printer);
    const QRect body = printBody(printer);
    int y = body.top();
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (y + metrics.height() > body.bottom() && y > body.top()) {
            if (!printer.newPage())
                return false;
            y = body.top();
        }
        painter.drawText(body.left(), y + metrics.ascent(), QString(line).remove(QLatin1Char('\r')));
        y += metrics.lineSpacing();
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return false;
    return repairPrintedText(printer, text, fontsOf(text, font));
}

bool printChosenPlainText(const QTextCursor &cursor, QPrinter &printer)
{
    if (printer.printRange() == QPrinter::Selection && cursor.hasSelection())
        return printPlainText(cursor.selection().toPlainText(), printer);
    const QTextDocument *document = cursor.document();
    return document && printPlainText(document->toPlainText(), printer);
}

bool printChosenRichText(const QTextCursor &cursor, QPrinter &printer)
{
    if (printer.printRange() == QPrinter::Selection)
        return printSelection(cursor, printer);
    const QTextDocument *document = cursor.document();
    return document && printDocument(*document, printer);
}

} // namespace qm::rtf
