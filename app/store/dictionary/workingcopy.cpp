#include "app/store/dictionary/workingcopy.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <climits>

#include <signal.h>
#include <unistd.h>

namespace qm::store {
namespace {

// True while a process of this number runs (one of another user included).
bool processRuns(qint64 pid)
{
    return pid > 0 && pid <= INT_MAX && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace

QString compactionTempPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QStringLiteral("$Temp$-%1-%2.tmp").arg(info.fileName(), QString::number(::getpid())));
}

void removeStaleCompactionCopies(const QString &folder)
{
    static const QRegularExpression copyName(QStringLiteral("^\\$Temp\\$-.+-(\\d+)\\.tmp(-journal)?$"));
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("$Temp$-*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = copyName.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid != ::getpid() && !processRuns(pid))
            QFile::remove(dir.filePath(name));
    }
}

} // namespace qm::store
