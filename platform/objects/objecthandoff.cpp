#include "objecthandoff.h"

#include "platform/text/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace qm::objects {
namespace {

QTemporaryDir &handoffFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quillmere-objects-XXXXXX"));
    return folder;
}

} // namespace

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
