#include "objecthandoff.h"

#include "platform/text/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace qm::objects {
namespace {

const QString FolderPrefix = QStringLiteral("quillmere-objects-");

// When the process started, in clock ticks after boot (field 22 of /proc/<pid>/stat): with the
// id it names one process, even after the id has been given to another.
QString startTimeOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces; the fields count from after it.
    const qsizetype end = line.lastIndexOf(')');
    if (end < 0)
        return {};
    const QList<QByteArray> fields = line.mid(end + 2).split(' ');
    constexpr int StartTimeField = 22 - 3;
    return fields.size() > StartTimeField ? QString::fromLatin1(fields.at(StartTimeField)) : QString();
}

QTemporaryDir &handoffFolder()
{
    static QTemporaryDir folder([]() -> QString {
        // Without the process's start time the folder cannot be told stale later; it is still made.
        QString prefix = ObjectHandoff::folderPrefixOf(QCoreApplication::applicationPid());
        if (prefix.isEmpty())
            prefix = FolderPrefix;
        return QDir::tempPath() + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX");
    }());
    return folder;
}

// Whether a copy folder's name names a process that is gone: "<pid>-<start>-<random>" after the
// prefix. A name of another form is not judged.
bool namesGoneProcess(const QString &name)
{
    const QStringList parts = name.mid(FolderPrefix.size()).split(QLatin1Char('-'));
    bool ok = false;
    const qint64 pid = parts.size() == 3 ? parts.at(0).toLongLong(&ok) : 0;
    if (!ok || pid <= 0 || parts.at(1).isEmpty())
        return false;
    return ObjectHandoff::folderPrefixOf(pid) != FolderPrefix + parts.at(0) + QLatin1Char('-') + parts.at(1)
        + QLatin1Char('-');
}

} // namespace

QString ObjectHandoff::folderPrefixOf(qint64 pid)
{
    const QString start = startTimeOf(pid);
    if (start.isEmpty())
        return {};
    return FolderPrefix + QString::number(pid) + QLatin1Char('-') + start + QLatin1Char('-');
}

int ObjectHandoff::removeStaleFolders(const QString &folder)
{
    QDir temp(folder.isEmpty() ? QDir::tempPath() : folder);
    int removed = 0;
    const QStringList names =
        temp.entryList({FolderPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QFileInfo info(temp.filePath(name));
        if (info.ownerId() != ::getuid() || !namesGoneProcess(name))
            continue;
        if (QDir(info.filePath()).removeRecursively())
            ++removed;
    }
    return removed;
}

std::optional<QString> ObjectHandoff::fileFor(const StoredObject &object)
{
    if (!object.isLink())
        return writeCopy(object);
    if (!QFileInfo(object.linkPath).isFile())
        return std::nullopt;
    return object.linkPath;
}

std::optional<QString> ObjectHandoff::writeCopy(const StoredObject &object)
{
    static int copies = 0;
    QTemporaryDir &folder = handoffFolder();
    if (!folder.isValid())
        return std::nullopt;
    // Each copy gets a folder of its own, so the file keeps the object's own name.
    const QString subfolder = folder.filePath(QString::number(++copies));
    if (!QDir().mkpath(subfolder))
        return std::nullopt;
    const QString path = subfolder + QLatin1Char('/') + safeFileName(object.name);
    if (!text::writeFileAtomically(path, object.data).ok)
        return std::nullopt;
    return path;
}

} // namespace qm::objects
