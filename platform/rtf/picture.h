#pragma once

#include "keywords.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringView>
#include <QTextFormat>

class QImageReader;

namespace qm::rtf {

// What the pictures of one document may decode to together. Each picture is capped on its own
// too, but many small, highly compressible ones could otherwise decode to gigabytes.
inline constexpr qint64 MaxDecodedPictureBytes = qint64(256) * 1024 * 1024;

// Collects one \pict group (its properties and its hex or \bin data) and decodes it.
class PictureBuilder final {
public:
    // Applies a picture property word; false for words that are none.
    bool apply(Kw kw, int parameter);
    void appendHex(QStringView text);
    void appendBinary(QStringView data);

    struct Result {
        QImage image; // null when there is no picture we can draw (metafiles, broken data)
        QTextImageFormat format; // the resource name, and the size when it is not the image's own
    };
    // Decodes what was collected, paying its decoded size out of `decodedBytesLeft`, and starts
    // over. A picture that does not fit in what is left is not decoded.
    Result finish(qint64 &decodedBytesLeft);

private:
    enum class Format : std::uint8_t { None, Png, Jpeg, Other };

    static QImage decode(QImageReader &reader, qint64 &decodedBytesLeft);

    QTextImageFormat formatFor(const QImage &image) const;

    Format m_format = Format::None;
    int m_width = 0;
    int m_height = 0;
    int m_goalWidth = 0;
    int m_goalHeight = 0;
    int m_scaleX = 100;
    int m_scaleY = 100;
    QByteArray m_data;
    int m_highNibble = -1;
};

} // namespace qm::rtf
