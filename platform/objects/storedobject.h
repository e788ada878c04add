#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace qm::objects {

// The largest file the container embeds or reads back from an image.
constexpr qint64 MaxEmbeddedBytes = 512LL * 1024 * 1024;
// The largest linked file the container reads to show it as a picture; a larger one is shown
// by its icon and name.
constexpr qint64 MaxLinkedPictureBytes = 64LL * 1024 * 1024;

// What an object container holds: a file embedded with its bytes, or a link to a file.
struct StoredObject {
    enum class Kind : quint8 { Embedded = 1, Linked = 2 };

    Kind kind = Kind::Embedded;
    QString name;       // the file name shown under the icon
    QString mimeType;   // "image/png", "application/pdf", ...
    QByteArray data;    // the embedded bytes (empty for a link)
    QString linkPath;   // the absolute path of a linked file (empty when embedded)

    bool isLink() const { return kind == Kind::Linked; }
    bool operator==(const StoredObject &) const = default;
};

// An embedded copy of a file; nullopt when it cannot be read or is larger than the limit.
std::optional<StoredObject> embedFile(const QString &path);
// A link to an existing file; nullopt when there is no such file.
std::optional<StoredObject> linkFile(const QString &path);
// An embedded object made from bytes of a known type.
StoredObject embedData(const QString &name, const QString &mimeType, const QByteArray &data);

// A file name that is safe to create inside a folder: no folders, never empty.
QString safeFileName(const QString &name);

} // namespace qm::objects
