#include "clipboardformats.h"

#include "linkedfile.h"

#include "platform/text/textfile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QUrl>

namespace qm::objects {
namespace {

QStringList localFiles(const QMimeData *data)
{
    QStringList files;
    if (!data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files << url.toLocalFile();
    }
    return files;
}

// Formats covered by the file, image and text entries, or private to the toolkit.
bool isCoveredFormat(const QString &format)
{
    return format == QLatin1String("text/uri-list") || format == QLatin1String("text/plain")
        || format.startsWith(QLatin1String("text/plain;")) || format.startsWith(QLatin1String("image/"))
        || format.startsWith(QLatin1String("application/x-qt"));
}

PasteFormat rawFormat(const QString &format)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(format);
    const QString comment = type.isValid() ? type.comment() : format;
    return {PasteFormat::Source::Raw, comment + QStringLiteral(" (") + format + QLatin1Char(')'), format, false};
}

QString nameWithSuffix(const QString &stem, const QString &mimeType)
{
    const QString suffix = QMimeDatabase().mimeTypeForName(mimeType).preferredSuffix();
    return suffix.isEmpty() ? stem : stem + QLatin1Char('.') + suffix;
}

std::optional<StoredObject> pictureObject(const QMimeData *data)
{
    const QImage picture = qvariant_cast<QImage>(data->imageData());
    if (picture.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return std::nullopt;
    return embedData(QStringLiteral("画像.png"), QStringLiteral("image/png"), png);
}

std::optional<StoredObject> textObject(const QMimeData *data)
{
    if (!data->hasText())
        return std::nullopt;
    return embedData(QStringLiteral("テキスト.txt"), QStringLiteral("text/plain"), data->text().toUtf8());
}

std::optional<StoredObject> rawObject(const QMimeData *data, const QString &format)
{
    if (!data->hasFormat(format))
        return std::nullopt;
    const QByteArray bytes = data->data(format);
    if (bytes.size() > MaxEmbeddedBytes)
        return std::nullopt;
    return embedData(nameWithSuffix(QStringLiteral("貼り付け"), format), format, bytes);
}

} // namespace

QList<PasteFormat> pasteFormats(const QMimeData *data)
{
    QList<PasteFormat> formats;
    if (!data)
        return formats;
    for (const QString &file : localFiles(data))
        formats.append({PasteFormat::Source::File, QStringLiteral("ファイル: ") + QFileInfo(file).fileName(), file, true});
    if (data->hasImage())
        formats.append({PasteFormat::Source::Image, QStringLiteral("画像 (PNG)"), QStringLiteral("image/png"), false});
    if (data->hasText() && !data->text().isEmpty())
        formats.append({PasteFormat::Source::Text, QStringLiteral("テキスト"), QStringLiteral("text/plain"), false});
    for (const QString &format : data->formats()) {
        if (!isCoveredFormat(format))
            formats.append(rawFormat(format));
    }
    return formats;
}

bool canPaste(const QMimeData *data)
{
    return !pasteFormats(data).isEmpty();
}

std::optional<StoredObject> objectFromFormat(const QMimeData *data, const PasteFormat &format, bool link)
{
    if (!data)
        return std::nullopt;
    switch (format.source) {
    case PasteFormat::Source::File:
        return link ? linkFile(format.format) : embedFile(format.format);
    case PasteFormat::Source::Image:
        return pictureObject(data);
    case PasteFormat::Source::Text:
        return textObject(data);
    case PasteFormat::Source::Raw:
        return rawObject(data, format.format);
    }
    return std::nullopt;
}

std::unique_ptr<QMimeData> mimeDataFor(const StoredObject &object, const QString &filePath)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(filePath)});
    QByteArray bytes = object.data;
    if (object.isLink())
        bytes = readLinkedFile(filePath, MaxEmbeddedBytes).value_or(QByteArray());
    if (!object.mimeType.isEmpty() && !isCoveredFormat(object.mimeType))
        data->setData(object.mimeType, bytes);
    if (object.mimeType.startsWith(QLatin1String("image/"))) {
        const QImage picture = QImage::fromData(bytes);
        if (!picture.isNull())
            data->setImageData(picture);
    } else if (object.mimeType.startsWith(QLatin1String("text/"))) {
        data->setText(text::decodeTextFile(bytes));
    }
    return data;
}

} // namespace qm::objects
