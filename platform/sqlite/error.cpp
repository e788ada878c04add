#include "error.h"

namespace qm::sqlite {

Error::Error(Kind kind, int code, const QString &message)
    : std::runtime_error(message.toStdString())
    , m_kind(kind)
    , m_code(code)
    , m_message(message)
{
}

} // namespace qm::sqlite
