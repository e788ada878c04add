#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace qm::desktop {
namespace {

QString &overridePath()
{
    static QString path;
    return path;
}

// Root passes every permission check, so a folder that nobody may write (chmod a-w) would
// still count as writable; the permission bits decide for it too.
bool mayWrite(const QFileInfo &folder)
{
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return folder.isWritable() && (folder.permissions() & anyWrite) != 0;
}

} // namespace

bool ProgramFolder::isInstalled(const QString &folder)
{
    QDir dir(folder);
    for (int up = 0; up < 3 && dir.cdUp(); ++up) {
        if (QFileInfo(dir.filePath(QStringLiteral("share/quillmere"))).isDir())
            return true;
    }
    return false;
}

QString ProgramFolder::writableFolderOr(const QString &preferred)
{
    const QFileInfo info(preferred);
    if (!preferred.isEmpty() && info.isDir() && mayWrite(info) && !isInstalled(preferred))
        return QDir::cleanPath(info.absoluteFilePath());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return QDir::cleanPath(data);
}

QString ProgramFolder::path()
{
    if (!overridePath().isEmpty())
        return overridePath();
    static const QString folder = writableFolderOr(QCoreApplication::applicationDirPath());
    return folder;
}

QString ProgramFolder::filePath(const QString &name)
{
    return path() + QLatin1Char('/') + name;
}

void ProgramFolder::setPath(const QString &folder)
{
    overridePath() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

} // namespace qm::desktop
