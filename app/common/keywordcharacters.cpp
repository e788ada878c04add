#include "procedures.h"

namespace qm::app {

bool IsReservedKeywordChar(QChar code)
{
    return code == u'[' || code == u']' || code == u'"';
}

text::WriteResult WriteTextFile(const QString &path, const QString &text)
{
    return text::writeCp932File(path, text);
}

} // namespace qm::app
