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

} // namespace

QString ProgramFolder::writableFolderOr(const QString &preferred)
{
    const QFileInfo info(preferred);
    if (!preferred.isEmpty() && info.isDir() && info.isWritable())
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
