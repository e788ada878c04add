#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qm::objects {

// The bytes of a file a link points to, read only when it is a regular file of at most
// `maxBytes`: a FIFO, a device or a socket would block or never end, and a huge file would be
// read whole into memory. nullopt for anything else or when it cannot be read.
std::optional<QByteArray> readLinkedFile(const QString &path, qint64 maxBytes);

} // namespace qm::objects
