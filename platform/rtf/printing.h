#pragma once

class QPrinter;
class QTextCursor;
class QTextDocument;

namespace qm::rtf {

// Prints the whole document. False when the printer reported an error.
bool printDocument(const QTextDocument &document, QPrinter &printer);

// Prints the cursor's selection, or the whole document when nothing is selected, with the
// document's fonts, images and page settings.
bool printSelection(const QTextCursor &cursor, QPrinter &printer);

} // namespace qm::rtf
