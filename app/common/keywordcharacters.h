#pragma once

#include <QChar>

namespace qm::app {

// True for "[", "]" and the double quote: characters that would break a keyword pattern.
bool IsReservedKeywordChar(QChar code);

} // namespace qm::app
