#include "controls/libraryfolder.h"

#include "platform/desktop/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace corvane {
namespace {

QString &overridePath()
{
    static QString path;
    return path;
}

// The folder of the shared object this code was loaded from.
QString libraryFileFolder()
{
    static const int anchor = 0;
    Dl_info info{};
    if (dladdr(&anchor, &info) != 0 && info.dli_fname != nullptr)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    return QCoreApplication::applicationDirPath();
}

} // namespace

QString LibraryFolder::path()
{
    if (!overridePath().isEmpty())
        return overridePath();
    static const QString folder = qm::desktop::ProgramFolder::writableFolderOr(libraryFileFolder());
    return folder;
}

QString LibraryFolder::filePath(const QString &name)
{
    return path() + QLatin1Char('/') + name;
}

void LibraryFolder::setPath(const QString &folder)
{
    overridePath() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

} // namespace corvane
