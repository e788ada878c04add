#include "error.h"

namespace qm::sqlite {

Error::Error(Kind kind, int code, const QString &message)
    : std::runtime_error(message.toStdString())
    , m_kind(kind)
    , m_code(code)
    , m_message(message)
{
}

Error::Error(Kind kind, int code, const QString &message, int mark)
    : Error(kind, code, message)
{
    m_mark = mark;
}

} // namespace qm::sqlite
