#pragma once

#include "platform/text/textfile.h"

#include <QChar>
#include <QString>

namespace qm::app {

// True for "[", "]" and the double quote: characters that would break a keyword pattern.
bool IsReservedKeywordChar(QChar code);

// Replaces the file with the text in CP932, with no terminator added. Text that CP932 cannot
// hold is refused (the result names the characters) and the old file stays as it was.
text::WriteResult WriteTextFile(const QString &path, const QString &text);

} // namespace qm::app
