#pragma once

// The stock sqlite3 command-line tool, which knows nothing of the program's functions: what
// another program sees of a dictionary, and how another program writes into one.

#include <QFile>
#include <QProcess>
#include <QString>

namespace qm::test {

inline QString stockSqlite(const QString &path, const QString &sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {path, sql});
    if (!p.waitForFinished(60000))
        return QStringLiteral("<sqlite3 did not finish>");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Overwrites the page that `pageSql` names (a query giving its number) with bytes no page
// holds, as a failing disk may leave it; false when that is not done.
inline bool damagePage(const QString &path, const QString &pageSql)
{
    const qint64 page = stockSqlite(path, pageSql).toLongLong();
    const qint64 pageSize = stockSqlite(path, QStringLiteral("PRAGMA page_size")).toLongLong();
    QFile file(path);
    return page > 1 && pageSize > 0 && file.open(QIODevice::ReadWrite) && file.seek((page - 1) * pageSize)
           && file.write(QByteArray(pageSize, '\x7f')) == pageSize;
}

} // namespace qm::test
