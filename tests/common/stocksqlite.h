#pragma once

// The stock sqlite3 command-line tool, which knows nothing of the program's functions: what
// another program sees of a dictionary, and how another program writes into one.

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

} // namespace qm::test
