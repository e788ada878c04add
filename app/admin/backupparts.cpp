#include "backupparts.h"

#include "app/store/dictionary/entry.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QLocale>

namespace qm::app {

QString formatFileSize(qint64 bytes)
{
    constexpr qint64 Kilo = 1024;
    constexpr qint64 Mega = Kilo * Kilo;
    const QLocale c(QLocale::Japanese, QLocale::Japan);
    if (bytes < Mega)
        return QStringLiteral("%1 KB").arg(c.toString((bytes + Kilo - 1) / Kilo));
    if (bytes < Mega * Kilo)
        return QStringLiteral("%1 MB").arg(c.toString(double(bytes) / double(Mega), 'f', 1));
    return QStringLiteral("%1 GB").arg(c.toString(double(bytes) / double(Mega * Kilo), 'f', 1));
}

QString formatGenerationTime(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString entryPlainText(const store::Entry &entry)
{
    switch (store::viewerFromCode(entry.Viewer).value_or(store::Viewer::Ole)) {
    case store::Viewer::RichText:
        return rtf::rtfToPlainText(text::cp932::decode(entry.Document));
    case store::Viewer::Ole:
        return QStringLiteral("(OLE ｵﾌﾞｼﾞｪｸﾄ、%1)").arg(formatFileSize(entry.Document.size()));
    default:
        return text::cp932::decode(entry.Document);
    }
}

} // namespace qm::app
