#include "oleprocedures.h"

#include "platform/objects/objectcontainer.h"
#include "platform/text/textfile.h"

#include <QBuffer>
#include <QFile>

namespace qm::app {

bool LoadOleObject(objects::ObjectContainer &container, const QByteArray &image, const QString &tempPath)
{
    QFile file(tempPath);
    if (!text::writeFileAtomically(tempPath, image).ok || !file.open(QIODevice::ReadOnly)) {
        container.deleteObject();
        return false;
    }
    return container.readFromFile(file);
}

QByteArray SaveOleObject(const objects::ObjectContainer &container, const QString &tempPath)
{
    if (container.objectType() == objects::ObjectContainer::ObjectType::None)
        return {};
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly) || !container.saveToFile(buffer))
        return {};
    // The file is only a by-product for later readers; a stale one must not outlive a failed
    // write, while the image itself comes from memory either way.
    if (!text::writeFileAtomically(tempPath, buffer.data()).ok)
        QFile::remove(tempPath);
    return buffer.data();
}

} // namespace qm::app
