#pragma once

#include <QByteArray>
#include <QString>

namespace qm::pg {

// Rows for COPY ... FROM STDIN in the server's text format, field by field: a table is filled
// by one stream instead of a statement with a parameter for every value.
class CopyRows final
{
public:
    // A text as a statement's parameter would carry it: up to its first NUL, which the server's
    // text cannot hold.
    CopyRows &text(const QString &value);
    CopyRows &number(qint64 value);
    CopyRows &null();
    // A bytea value, in the server's hex form.
    CopyRows &bytes(const QByteArray &value);
    // Ends the row.
    void endRow();

    const QByteArray &data() const { return m_data; }
    bool isEmpty() const { return m_data.isEmpty(); }
    void clear();

private:
    void separate();
    void escaped(QByteArrayView field);

    QByteArray m_data;
    bool m_rowStarted = false;
};

} // namespace qm::pg
