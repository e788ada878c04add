#pragma once

#include "storedobject.h"

#include <QIODevice>

#include <optional>

namespace qm::objects {

// The saved image of an object, a byte format of our own:
//
//   magic     8 bytes  89 'Q' 'M' 'O' 'B' 0D 0A 1A
//   version   u16      1
//   kind      u8       1 embedded, 2 linked
//   name      u32 length + UTF-8
//   type      u32 length + UTF-8 (a MIME type name)
//   payload   u32 length + bytes: the file's bytes (embedded) or its UTF-8 path (linked)
//
// Integers are big-endian. An image is read from the device's current position; the device is
// left just after it. Writing an object read from an image gives back the same bytes.
namespace image {

constexpr quint16 Version = 1;

bool write(const StoredObject &object, QIODevice &device);
QByteArray toBytes(const StoredObject &object);

// Reads one image; nullopt when the bytes are not a valid image of a version we know (wrong
// magic, truncated, a length beyond its limit or beyond the data, text that is not UTF-8).
// Never allocates more than the data that is actually there.
std::optional<StoredObject> read(QIODevice &device);
std::optional<StoredObject> fromBytes(const QByteArray &bytes);

} // namespace image
} // namespace qm::objects
