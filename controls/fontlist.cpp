#include "controls/fontlist.h"

#include "controls/libraryfolder.h"

#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include <QFile>
#include <QFontDatabase>

#include <optional>

namespace corvane {
namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

// Far more than any font list: a larger file is not ours and is written anew.
constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

QStringList usableNames(const QStringList &screenFonts)
{
    QStringList names;
    for (const QString &name : screenFonts) {
        if (!name.contains(QLatin1Char('@')))
            names.append(name);
    }
    return names;
}

// The names of the file, or nullopt when it is missing, unreadable, or not written for this
// number of screen fonts.
std::optional<QStringList> readNames(const QString &path, qsizetype screenFontCount)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    const QString text = bytes.startsWith(ByteOrderMark)
                             ? QString::fromUtf8(bytes.sliced(ByteOrderMark.size()))
                             : qm::text::cp932::decode(bytes);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty()) // after the last line end
        lines.removeLast();
    if (lines.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qsizetype count = lines.constFirst().trimmed().toLongLong(&isNumber);
    if (!isNumber || count != screenFontCount)
        return std::nullopt;
    lines.removeFirst();
    if (lines.size() > screenFontCount + 1) // not a list of these fonts
        return std::nullopt;
    return lines;
}

} // namespace

QByteArray FontListCache::contents(const QStringList &screenFonts)
{
    QString text = QString::number(screenFonts.size()) + QStringLiteral("\r\n");
    for (const QString &name : usableNames(screenFonts))
        text += name + QStringLiteral("\r\n");
    const qm::text::cp932::EncodeResult encoded = qm::text::cp932::encode(text);
    return encoded.ok() ? encoded.bytes : ByteOrderMark + text.toUtf8();
}

QStringList FontListCache::load(const QString &folder, const QStringList &screenFonts)
{
    const QString path = folder + QLatin1Char('/') + fileName();
    if (std::optional<QStringList> names = readNames(path, screenFonts.size()))
        return *names;
    if (qm::text::writeFileAtomically(path, contents(screenFonts)).ok) {
        if (std::optional<QStringList> names = readNames(path, screenFonts.size()))
            return *names;
    }
    return usableNames(screenFonts);
}

QStringList FontListCache::load()
{
    return load(LibraryFolder::path(), QFontDatabase::families());
}

} // namespace corvane
