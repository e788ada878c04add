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

QString cutShortWriteText()
{
    return QStringLiteral("前回の書き込みが途中で終わったままです。書き込みの権限のあるユーザーがプログラムで一度開くと、"
                          "書き込みの前の状態に戻ります");
}

} // namespace qm::sqlite
