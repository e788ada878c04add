#pragma once

#include <QByteArray>
#include <QString>

namespace qm::objects {
class ObjectContainer;
}

namespace qm::app {

// Writes a stored object image to the temporary file, then lets the container read its object
// from that file. False when the file cannot be written or the image cannot be read; the
// container is empty then.
bool LoadOleObject(objects::ObjectContainer &container, const QByteArray &image, const QString &tempPath);

// The image of the container's object, as it goes into the Document column; it is also left in
// the temporary file. An empty container gives an empty image and the file is not touched.
QByteArray SaveOleObject(const objects::ObjectContainer &container, const QString &tempPath);

} // namespace qm::app
