#include "picture.h"
#include "tokenizer.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>

#include <utility>

namespace qm::rtf {
namespace {

constexpr int MaxPictureTwips = 1440 * 200;
constexpr int MaxScalePercent = 1000;
constexpr int ImageAllocationLimitMb = 128;
constexpr qreal TwipsPerPixel = 15.0; // at 96 dpi, the unit of QTextImageFormat sizes
constexpr qint64 BytesPerPixel = 4; // most PNG and JPEG pictures decode to 32 bits a pixel

} // namespace

bool PictureBuilder::apply(Kw kw, int p)
{
    switch (kw) {
    case Kw::PngBlip:
        m_format = Format::Png;
        break;
    case Kw::JpegBlip:
        m_format = Format::Jpeg;
        break;
    case Kw::OtherBlip:
        m_format = Format::Other;
        break;
    case Kw::PicW:
        m_width = qBound(0, p, MaxPictureTwips);
        break;
    case Kw::PicH:
        m_height = qBound(0, p, MaxPictureTwips);
        break;
    case Kw::PicWGoal:
        m_goalWidth = qBound(0, p, MaxPictureTwips);
        break;
    case Kw::PicHGoal:
        m_goalHeight = qBound(0, p, MaxPictureTwips);
        break;
    case Kw::PicScaleX:
        m_scaleX = qBound(1, p, MaxScalePercent);
        break;
    case Kw::PicScaleY:
        m_scaleY = qBound(1, p, MaxScalePercent);
        break;
    default:
        return false;
    }
    return true;
}

void PictureBuilder::appendHex(QStringView text)
{
    for (QChar ch : text) {
        const int v = hexValue(ch.unicode());
        if (v < 0)
            continue; // line breaks and spaces between the digits
        if (m_highNibble < 0) {
            m_highNibble = v;
        } else {
            m_data.append(char(m_highNibble << 4 | v));
            m_highNibble = -1;
        }
    }
}

void PictureBuilder::appendBinary(QStringView data)
{
    for (QChar c : data)
        m_data.append(char(c.unicode() & 0xFF));
}

PictureBuilder::Result PictureBuilder::finish(qint64 &decodedBytesLeft)
{
    const PictureBuilder picture = std::exchange(*this, PictureBuilder());
    const char *format = picture.m_format == Format::Png    ? "png"
                         : picture.m_format == Format::Jpeg ? "jpeg"
                                                            : nullptr;
    if (!format || picture.m_data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(picture.m_data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAllocationLimit(ImageAllocationLimitMb);
    Result result;
    result.image = decode(reader, decodedBytesLeft);
    if (!result.image.isNull())
        result.format = picture.formatFor(result.image);
    return result;
}

// The size in the header is paid before decoding, so broken data costs its share too; a picture
// that decodes to more (16 bits per channel) pays the rest or is left out.
QImage PictureBuilder::decode(QImageReader &reader, qint64 &decodedBytesLeft)
{
    const QSize size = reader.size();
    const qint64 expected = qint64(size.width()) * size.height() * BytesPerPixel;
    if (!size.isValid() || expected > decodedBytesLeft)
        return {};
    decodedBytesLeft -= expected;
    QImage image = reader.read();
    const qint64 more = image.sizeInBytes() - expected;
    if (more > decodedBytesLeft)
        return {};
    decodedBytesLeft -= qMax<qint64>(0, more);
    return image;
}

// The name comes from the data, so the same picture read twice is one resource. The size is
// \picwgoal/\pichgoal (twips) scaled, else the picture's own; it is set only when it differs.
QTextImageFormat PictureBuilder::formatFor(const QImage &image) const
{
    QTextImageFormat format;
    const QByteArray id = QCryptographicHash::hash(m_data, QCryptographicHash::Sha1).toHex();
    format.setName(QStringLiteral("rtfimage:") + QString::fromLatin1(id));
    const auto size = [](int goal, int pixels, int natural, int scale) {
        const qreal base = goal > 0 ? goal / TwipsPerPixel : pixels > 0 ? pixels : natural;
        return base * scale / 100.0;
    };
    const qreal w = size(m_goalWidth, m_width, image.width(), m_scaleX);
    const qreal h = size(m_goalHeight, m_height, image.height(), m_scaleY);
    if (qAbs(w - image.width()) > 0.01 || qAbs(h - image.height()) > 0.01) {
        format.setWidth(w);
        format.setHeight(h);
    }
    return format;
}

} // namespace qm::rtf
