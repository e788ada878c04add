#pragma once

#include <QByteArray>
#include <QStringView>

namespace qm::rtf {

// Appends text in the form the writer stores it: ASCII as itself, every other CP932 character
// as its bytes in `\'hh` escapes (two for a double-byte character), every character outside
// CP932 as `\uN?` per UTF-16 unit (N signed 16-bit, "?" the fallback for readers without
// Unicode), tab and line break as \tab and \line.
//
// afterWord says whether the output ends in a control word, which then needs a space before
// the next literal character; it is updated for what was appended.
void appendEscapedText(QByteArray &out, QStringView text, bool &afterWord);

// Appends "\word" or "\wordN".
void appendControlWord(QByteArray &out, const char *word);
void appendControlWord(QByteArray &out, const char *word, int parameter);

} // namespace qm::rtf
