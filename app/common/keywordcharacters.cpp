#include "keywordcharacters.h"

namespace qm::app {

bool IsReservedKeywordChar(QChar code)
{
    return code == u'[' || code == u']' || code == u'"';
}

} // namespace qm::app
