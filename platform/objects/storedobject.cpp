#include "storedobject.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

namespace qm::objects {

std::optional<StoredObject> embedFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxEmbeddedBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    StoredObject object;
    object.kind = StoredObject::Kind::Embedded;
    object.name = info.fileName();
    object.data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    object.mimeType = QMimeDatabase().mimeTypeForFileNameAndData(object.name, object.data).name();
    return object;
}

std::optional<StoredObject> linkFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    StoredObject object;
    object.kind = StoredObject::Kind::Linked;
    object.name = info.fileName();
    object.linkPath = info.absoluteFilePath();
    object.mimeType = QMimeDatabase().mimeTypeForFile(info).name();
    return object;
}

StoredObject embedData(const QString &name, const QString &mimeType, const QByteArray &data)
{
    StoredObject object;
    object.kind = StoredObject::Kind::Embedded;
    object.name = name;
    object.mimeType = mimeType;
    object.data = data;
    return object;
}

QString safeFileName(const QString &name)
{
    QString result = name.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    result.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (result.isEmpty() || result == QLatin1String(".") || result == QLatin1String(".."))
        return QStringLiteral("object");
    return result;
}

} // namespace qm::objects
