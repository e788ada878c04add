#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QPrinter;
class QTextCursor;
class QTextDocument;

namespace qm::rtf {

// The part of the printer's page that printed text fills, in device pixels: the page inside the
// printer's margins, less 2 cm on each side. Rich text is laid out by Qt with that 2 cm margin;
// plain text keeps the same, so both kinds of entry come out on the same place of the page.
QRect printBody(const QPrinter &printer);

// Prints the whole document; a PDF file names every glyph with the character printed. False
// when the printer reported an error.
bool printDocument(const QTextDocument &document, QPrinter &printer);

// Prints the cursor's selection, or the whole document when nothing is selected, with the
// document's fonts, images and page settings.
bool printSelection(const QTextCursor &cursor, QPrinter &printer);

// The font plain text prints in: the default font, or one that holds Japanese when it does not.
QFont plainPrintFont();

// Prints plain text line by line in plainPrintFont inside printBody, a new page whenever one is
// full; long lines are not wrapped. The printer's page order and the copies it does not make
// itself are kept. A PDF file names every glyph with the character printed. False when the
// printer failed.
bool printPlainText(const QString &text, QPrinter &printer);

// Print what the print dialog chose: the cursor's selection when the printer's range is the
// selection, else the cursor's whole document; as plain text or as rich text.
bool printChosenPlainText(const QTextCursor &cursor, QPrinter &printer);
bool printChosenRichText(const QTextCursor &cursor, QPrinter &printer);

} // namespace qm::rtf
