#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

struct pg_result;

namespace qm::pg {

// The rows of one statement, owned. Values are in text form.
class Result final
{
public:
    explicit Result(pg_result *result);
    ~Result();
    Result(Result &&other) noexcept;
    Result &operator=(Result &&other) noexcept;
    Result(const Result &) = delete;
    Result &operator=(const Result &) = delete;

    int rows() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    qint64 number(int row, int column) const;
    // The value's text form as the result holds it (no copy; valid while the result lives).
    QByteArrayView view(int row, int column) const;
    // A bytea column (the server's hex text form) as its bytes.
    QByteArray bytes(int row, int column) const;
    // The number of rows a command changed.
    qint64 changed() const;
    // The command tag ("COMMIT", "ROLLBACK", "INSERT 0 1" ...).
    QByteArray command() const;

private:
    pg_result *m_result;
};

// The parameters of a statement ($1, $2, ...): texts, numbers, NULLs, and bytes sent as they are.
class Params final
{
public:
    Params &text(const QString &value);
    Params &utf8(QByteArray value);
    Params &number(qint64 value);
    Params &null();
    Params &bytes(const QByteArray &value);
    // A text[] of the values.
    Params &textArray(const QStringList &values);
    // An integer[] of the values.
    Params &numberArray(const std::vector<qint32> &values);
    // The other's values after these.
    Params &append(const Params &other);

    int count() const { return int(m_values.size()); }
    std::vector<const char *> values() const;
    std::vector<int> lengths() const;
    const std::vector<int> &formats() const { return m_formats; }

private:
    std::vector<std::optional<QByteArray>> m_values;
    std::vector<int> m_formats;
};

} // namespace qm::pg
