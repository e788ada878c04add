#pragma once

#include <QString>
#include <QTextFormat>

class QTextDocument;

// Hidden text (RTF \v): text of the entry that its reader must not see, kept so that saving
// the entry gives it back.
//
// QTextDocument has no hidden characters, and text made invisible by its format (a transparent
// colour, a tiny font) still takes room, is selected and copied, and passes its format on to
// what is typed next to it. So each run of hidden text becomes one object character instead,
// whose format holds the run's attributes and, in HiddenTextProperty, its text (a paragraph
// mark inside it as U+2029). The document layout gives these objects no width and draws
// nothing; text typed next to one is ordinary text; the writer writes the run as {\v ...}.
namespace qm::rtf {

inline constexpr int HiddenTextObject = QTextFormat::UserObject + 0x0100;
inline constexpr int HiddenTextProperty = QTextFormat::UserProperty + 0x0101;

// The format of an object character holding `text` hidden, with the attributes of `format`.
QTextCharFormat hiddenTextFormat(const QTextCharFormat &format, const QString &text);
bool isHiddenText(const QTextFormat &format);
// The text a hidden-text object holds; empty for every other format.
QString hiddenText(const QTextFormat &format);

// Makes the document's layout give hidden text no room. The reader does this for the document
// it reads into; QTextDocument::print() passes it on to its copy, clone() does not.
void layOutHiddenText(QTextDocument &document);

} // namespace qm::rtf
