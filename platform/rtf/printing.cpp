#include "printing.h"

#include "hiddentext.h"
#include "platform/print/pdftext.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QRawFont>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>
#include <memory>
#include <numeric>

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

int linesPerPage(const QRect &body, const QFontMetrics &metrics)
{
    return qMax(1, (body.height() - 1 - metrics.height()) / qMax(1, metrics.lineSpacing()) + 1);
}

// The lines of every page, without their carriage returns; long lines are not wrapped.
QList<QStringList> plainPages(const QString &text, int perPage)
{
    QList<QStringList> pages;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype from = 0; from < lines.size(); from += perPage) {
        QStringList page = lines.mid(from, perPage);
        for (QString &line : page)
            line.remove(QLatin1Char('\r'));
        pages.append(page);
    }
    return pages;
}

// The pages in the order the dialog chose, each copy the printer does not make itself included,
// as Qt prints rich text.
QList<qsizetype> printOrder(qsizetype pages, const QPrinter &printer)
{
    QList<qsizetype> once(pages);
    std::iota(once.begin(), once.end(), 0);
    if (printer.pageOrder() == QPrinter::LastPageFirst)
        std::reverse(once.begin(), once.end());
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QList<qsizetype> order;
    for (int copy = 0; printer.collateCopies() && copy < copies; ++copy)
        order += once;
    for (const qsizetype page : printer.collateCopies() ? QList<qsizetype>() : once)
        order += QList<qsizetype>(copies, page);
    return order;
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
    return print::repairPrintedText(printer, document.toPlainText(), print::fontsOf(document));
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
    const QList<QStringList> pages = plainPages(text, linesPerPage(body, metrics));
    bool first = true;
    for (const qsizetype page : printOrder(pages.size(), printer)) {
        if (!first && !printer.newPage())
            return false;
        first = false;
        int y = body.top();
        for (const QString &line : pages[page]) {
            painter.drawText(body.left(), y + metrics.ascent(), line);
            y += metrics.lineSpacing();
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return false;
    return print::repairPrintedText(printer, text, print::fontsOf(text, font));
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
