#include "platform/postgres/error.h"

namespace qm::pg {

Error::Error(Kind kind, QString message, QString sqlState)
    : std::runtime_error(message.toStdString())
    , m_kind(kind)
    , m_message(std::move(message))
    , m_sqlState(std::move(sqlState))
{
}

} // namespace qm::pg
