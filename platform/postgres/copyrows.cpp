#include "platform/postgres/copyrows.h"

namespace qm::pg {

void CopyRows::separate()
{
    if (m_rowStarted)
        m_data += '\t';
    m_rowStarted = true;
}

// The characters the text format gives a meaning (the escape, the field and row separators)
// are escaped; everything else is sent as it is.
void CopyRows::escaped(QByteArrayView field)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        const char *escape = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        if (!escape)
            continue;
        m_data.append(field.sliced(from, i - from));
        m_data.append(escape);
        from = i + 1;
    }
    m_data.append(field.sliced(from));
}

CopyRows &CopyRows::text(const QString &value)
{
    separate();
    const QByteArray utf8 = value.toUtf8();
    const qsizetype nul = utf8.indexOf('\0');
    escaped(nul < 0 ? QByteArrayView(utf8) : QByteArrayView(utf8).first(nul));
    return *this;
}

CopyRows &CopyRows::number(qint64 value)
{
    separate();
    m_data += QByteArray::number(value);
    return *this;
}

CopyRows &CopyRows::null()
{
    separate();
    m_data += "\\N";
    return *this;
}

CopyRows &CopyRows::bytes(const QByteArray &value)
{
    separate();
    // "\x" and the hex digits; the backslash is escaped as in any field.
    m_data += "\\\\x";
    m_data += value.toHex();
    return *this;
}

void CopyRows::endRow()
{
    m_data += '\n';
    m_rowStarted = false;
}

void CopyRows::clear()
{
    m_data.clear();
    m_rowStarted = false;
}

} // namespace qm::pg
