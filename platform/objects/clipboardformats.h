#pragma once

#include "storedobject.h"

#include <QList>
#include <QMimeData>
#include <QString>

#include <memory>

namespace qm::objects {

// One way of turning what the clipboard holds into an object.
struct PasteFormat {
    enum class Source { File, Image, Text, Raw };

    Source source = Source::Raw;
    QString label;      // what the paste-special dialog lists
    QString format;     // the clipboard format (Raw) or the file path (File)
    bool canLink = false;
};

// The formats of clipboard data the container can paste, best first: local files, a picture,
// text, then any other data format the clipboard offers.
QList<PasteFormat> pasteFormats(const QMimeData *data);
bool canPaste(const QMimeData *data);

// The object a format gives (embedded, or linked when asked and possible); nullopt when the
// data is gone or unusable.
std::optional<StoredObject> objectFromFormat(const QMimeData *data, const PasteFormat &format, bool link);

// Clipboard data for an object: the URL of a file that holds it, and its bytes under its type
// (a picture also as an image, text also as text).
std::unique_ptr<QMimeData> mimeDataFor(const StoredObject &object, const QString &filePath);

} // namespace qm::objects
