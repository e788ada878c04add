#pragma once

#include <QByteArray>
#include <QString>

class QFont;
class QTextCursor;
class QTextDocument;

// RTF <-> QTextDocument for rich-text entry bodies, the rich-text editor, .rtf files and the
// clipboard.
//
// What is read and written: fonts (with their character sets), sizes, bold, italic, underline,
// strikethrough, all capitals, text colour, raised/lowered text (see charformat.h),
// superscript/subscript, hidden text (see hiddentext.h), paragraph alignment, tabs, line breaks,
// PNG and JPEG pictures. Writing then reading gives back exactly these attributes; anything else
// in a foreign file is skipped without losing the text around it. Footnotes are read as text:
// "[n]" where each one was, and the notes, numbered so, after the text. Reading never fails:
// malformed or hostile input gives whatever text it holds.
namespace qm::rtf {

// True when the text starts (after white space) with "{\rtf".
bool looksLikeRtf(QStringView text);
bool looksLikeRtf(QByteArrayView bytes);

// Reads RTF that is already text (a stored body decoded from CP932, the clipboard) and inserts
// it at the cursor, replacing its selection. The whole insertion is one undo step.
void insertRtf(QTextCursor &cursor, QStringView rtf);
// The same for the raw bytes of a file: bytes outside ASCII are decoded by the code page of the
// font they appear in (CP932 for \fcharset128, else the document's \ansicpg).
void insertRtfBytes(QTextCursor &cursor, QByteArrayView rtf);

// Replaces the whole document (text and images) with the RTF.
void setRtf(QTextDocument &document, QStringView rtf);
void setRtfBytes(QTextDocument &document, QByteArrayView rtf);

// The document as RTF: "{\rtf1\ansi\ansicpg932\deff0...". The text is pure ASCII: CP932
// characters as `\'hh` bytes, others as `\uN?`, so a body search for a text finds it in the
// form escapeText() gives.
QString toRtf(const QTextDocument &document);
// Only the cursor's selection (everything when nothing is selected), for "save selection" and
// copying. Paragraphs cut by the selection keep their paragraph format.
QString selectionToRtf(const QTextCursor &cursor);
// toRtf() as the CP932 bytes of a stored body or a saved file.
QByteArray toRtfBytes(const QTextDocument &document);

// The visible text of RTF without its formatting (paragraphs and line breaks as "\n", a picture
// as U+FFFC): exactly visibleText() of a document read from it, collected without building one.
QString rtfToPlainText(QStringView rtf);
// The same text of a document already read (hidden text left out, paragraphs and line breaks
// as "\n"), for a writer that holds the document it turns into RTF.
QString visibleText(const QTextDocument &document);
// Plain text as RTF in the given font.
QString plainTextToRtf(QStringView text, const QFont &font);

// How a run of text appears inside RTF written by toRtf(): the form in which a body search must
// look for it ("あ" -> "\'82\'a0", "ABC" -> "ABC", "😀" -> "\u-10179?\u-8704?").
QString escapeText(QStringView text);

} // namespace qm::rtf
