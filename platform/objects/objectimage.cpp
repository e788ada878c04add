#include "objectimage.h"

#include <QBuffer>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace qm::objects::image {
namespace {

constexpr std::array<char, 8> Magic{'\x89', 'Q', 'M', 'O', 'B', '\r', '\n', '\x1A'};
constexpr qint64 MaxNameBytes = 4096;
constexpr qint64 MaxTypeBytes = 255;
constexpr qint64 MaxPathBytes = 32768;
constexpr qint64 ChunkBytes = 1024 * 1024;

template <typename T>
QByteArray bigEndian(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

void appendField(QByteArray &out, const QByteArray &bytes)
{
    out += bigEndian(static_cast<quint32>(bytes.size()));
    out += bytes;
}

// Reads exactly `size` bytes in bounded chunks, so a length field larger than the data never
// turns into one large allocation.
bool readExact(QIODevice &device, qint64 size, QByteArray &out)
{
    out.clear();
    if (!device.isSequential() && device.size() - device.pos() < size)
        return false;
    while (out.size() < size) {
        const QByteArray part = device.read(std::min(size - out.size(), ChunkBytes));
        if (part.isEmpty())
            return false;
        out.append(part);
    }
    return true;
}

template <typename T>
std::optional<T> readNumber(QIODevice &device)
{
    QByteArray bytes;
    if (!readExact(device, sizeof(T), bytes))
        return std::nullopt;
    return qFromBigEndian<T>(bytes.constData());
}

std::optional<QByteArray> readField(QIODevice &device, qint64 limit)
{
    const auto length = readNumber<quint32>(device);
    QByteArray bytes;
    if (!length || *length > limit || !readExact(device, *length, bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QString> readText(QIODevice &device, qint64 limit)
{
    const auto bytes = readField(device, limit);
    if (!bytes)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool validKind(quint8 kind)
{
    return kind == quint8(StoredObject::Kind::Embedded) || kind == quint8(StoredObject::Kind::Linked);
}

std::optional<StoredObject> readBody(QIODevice &device)
{
    const auto kind = readNumber<quint8>(device);
    if (!kind || !validKind(*kind))
        return std::nullopt;
    StoredObject object;
    object.kind = static_cast<StoredObject::Kind>(*kind);
    const auto name = readText(device, MaxNameBytes);
    const auto type = name ? readText(device, MaxTypeBytes) : std::nullopt;
    if (!type)
        return std::nullopt;
    object.name = *name;
    object.mimeType = *type;
    if (object.isLink()) {
        const auto path = readText(device, MaxPathBytes);
        if (!path || path->isEmpty())
            return std::nullopt;
        object.linkPath = *path;
    } else {
        const auto data = readField(device, MaxEmbeddedBytes);
        if (!data)
            return std::nullopt;
        object.data = *data;
    }
    return object;
}

} // namespace

QByteArray toBytes(const StoredObject &object)
{
    const QByteArray name = object.name.toUtf8();
    const QByteArray type = object.mimeType.toUtf8();
    const QByteArray payload = object.isLink() ? object.linkPath.toUtf8() : object.data;
    // Made in one piece, so a large embedded file is copied once.
    QByteArray bytes;
    bytes.reserve(Magic.size() + 16 + name.size() + type.size() + payload.size());
    bytes.append(Magic.data(), Magic.size());
    bytes += bigEndian(Version);
    bytes += bigEndian(static_cast<quint8>(object.kind));
    appendField(bytes, name);
    appendField(bytes, type);
    appendField(bytes, payload);
    return bytes;
}

bool write(const StoredObject &object, QIODevice &device)
{
    const QByteArray bytes = toBytes(object);
    return device.write(bytes) == bytes.size();
}

std::optional<StoredObject> read(QIODevice &device)
{
    QByteArray magic;
    if (!readExact(device, Magic.size(), magic) || magic != QByteArrayView(Magic.data(), Magic.size()))
        return std::nullopt;
    const auto version = readNumber<quint16>(device);
    if (!version || *version != Version)
        return std::nullopt;
    return readBody(device);
}

std::optional<StoredObject> fromBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return std::nullopt;
    return read(buffer);
}

} // namespace qm::objects::image
