#include "fontlist.h"

#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QFile>
#include <QFontDatabase>

namespace qm::app {
namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

// More than any font list needs: a larger file is not ours and is written anew.
constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

} // namespace

FontListCache::FontListCache(const QString &folder)
    : m_path(folder + QStringLiteral("/Font.ini"))
{
}

QStringList FontListCache::usableNames(const QStringList &screenFonts)
{
    QStringList names;
    for (const QString &name : screenFonts)
        if (!name.contains(QLatin1Char('@')))
            names.append(name);
    return names;
}

QByteArray FontListCache::contents(const QStringList &screenFonts)
{
    QString text = QString::number(screenFonts.size()) + QStringLiteral("\r\n");
    for (const QString &name : usableNames(screenFonts))
        text += name + QStringLiteral("\r\n");
    const text::cp932::EncodeResult encoded = text::cp932::encode(text);
    return encoded.ok() ? encoded.bytes : ByteOrderMark + text.toUtf8();
}

bool FontListCache::rebuild(const QStringList &screenFonts) const
{
    return text::writeFileAtomically(m_path, contents(screenFonts)).ok;
}

bool FontListCache::read(qsizetype screenFontCount, QStringList &names) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const QString text = bytes.startsWith(ByteOrderMark) ? QString::fromUtf8(bytes.sliced(ByteOrderMark.size()))
                                                         : text::cp932::decode(bytes);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    // The line end of the last name leaves one empty piece.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return false;
    bool isNumber = false;
    const qsizetype count = lines.first().trimmed().toLongLong(&isNumber);
    if (!isNumber || count != screenFontCount)
        return false;
    lines.removeFirst();
    // Room for every screen font and one more, as the editor control reads it.
    if (lines.size() > screenFontCount + 1)
        return false;
    names = lines;
    return true;
}

QStringList FontListCache::load(const QStringList &screenFonts) const
{
    QStringList names;
    if (read(screenFonts.size(), names))
        return names;
    if (rebuild(screenFonts) && read(screenFonts.size(), names))
        return names;
    // A folder that cannot be written still leaves the fonts to choose from.
    return usableNames(screenFonts);
}

QStringList FontListCache::load() const
{
    return load(QFontDatabase::families());
}

} // namespace qm::app
