#pragma once

#include "keywords.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringView>
#include <QTextFormat>

namespace qm::rtf {

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
    // Decodes what was collected and starts over.
    Result finish();

private:
    enum class Format : std::uint8_t { None, Png, Jpeg, Other };

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
