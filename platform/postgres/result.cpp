#include "platform/postgres/result.h"

#include <QStringList>

#include <libpq-fe.h>

#include <utility>

namespace qm::pg {

Result::Result(pg_result *result)
    : m_result(result)
{
}

Result::~Result()
{
    PQclear(m_result);
}

Result::Result(Result &&other) noexcept
    : m_result(std::exchange(other.m_result, nullptr))
{
}

Result &Result::operator=(Result &&other) noexcept
{
    if (this != &other) {
        PQclear(m_result);
        m_result = std::exchange(other.m_result, nullptr);
    }
    return *this;
}

int Result::rows() const
{
    return m_result ? PQntuples(m_result) : 0;
}

bool Result::isNull(int row, int column) const
{
    return PQgetisnull(m_result, row, column) != 0;
}

QString Result::text(int row, int column) const
{
    if (isNull(row, column))
        return {};
    return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

qint64 Result::number(int row, int column) const
{
    return view(row, column).toLongLong();
}

QByteArrayView Result::view(int row, int column) const
{
    return {PQgetvalue(m_result, row, column), qsizetype(PQgetlength(m_result, row, column))};
}

QByteArray Result::bytes(int row, int column) const
{
    const char *value = PQgetvalue(m_result, row, column);
    const int length = PQgetlength(m_result, row, column);
    // The hex form: "\x" and two digits a byte.
    if (length >= 2 && value[0] == '\\' && value[1] == 'x')
        return QByteArray::fromHex(QByteArray::fromRawData(value + 2, length - 2));
    size_t size = 0;
    unsigned char *raw = PQunescapeBytea(reinterpret_cast<const unsigned char *>(value), &size);
    QByteArray out(reinterpret_cast<const char *>(raw), qsizetype(size));
    PQfreemem(raw);
    return out;
}

qint64 Result::changed() const
{
    return QByteArray(PQcmdTuples(m_result)).toLongLong();
}

Params &Params::text(const QString &value)
{
    return utf8(value.toUtf8());
}

Params &Params::utf8(QByteArray value)
{
    m_values.emplace_back(std::move(value));
    m_formats.push_back(0);
    return *this;
}

Params &Params::number(qint64 value)
{
    return utf8(QByteArray::number(value));
}

Params &Params::null()
{
    m_values.emplace_back(std::nullopt);
    m_formats.push_back(0);
    return *this;
}

Params &Params::bytes(const QByteArray &value)
{
    // Sent in binary form, so the body is neither escaped nor read as text.
    m_values.emplace_back(value.isNull() ? QByteArray("") : value);
    m_formats.push_back(1);
    return *this;
}

Params &Params::textArray(const QStringList &values)
{
    QByteArray array = "{";
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            array += ',';
        QByteArray item = values[i].toUtf8();
        item.replace("\\", "\\\\").replace("\"", "\\\"");
        array += '"' + item + '"';
    }
    return utf8(array + '}');
}

Params &Params::numberArray(const std::vector<qint32> &values)
{
    QByteArray array = "{";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            array += ',';
        array += QByteArray::number(values[i]);
    }
    return utf8(array + '}');
}

Params &Params::append(const Params &other)
{
    m_values.insert(m_values.end(), other.m_values.begin(), other.m_values.end());
    m_formats.insert(m_formats.end(), other.m_formats.begin(), other.m_formats.end());
    return *this;
}

std::vector<const char *> Params::values() const
{
    std::vector<const char *> out;
    out.reserve(m_values.size());
    for (const std::optional<QByteArray> &v : m_values)
        out.push_back(v ? v->constData() : nullptr);
    return out;
}

std::vector<int> Params::lengths() const
{
    std::vector<int> out;
    out.reserve(m_values.size());
    for (const std::optional<QByteArray> &v : m_values)
        out.push_back(v ? int(v->size()) : 0);
    return out;
}

QByteArray Result::command() const
{
    return QByteArray(PQcmdStatus(m_result));
}

} // namespace qm::pg
