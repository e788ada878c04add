#pragma once

#include <QString>
#include <QStringList>

namespace qm::app {

// The font list cache "Font.ini", which the rich-text editor keeps as well: line 1 the number of
// screen fonts when the file was written, then every screen font name that has no "@" (the
// vertical-writing variants), one per line, CR LF. The file is CP932; only when a name has no
// CP932 form is it written as UTF-8 with a byte order mark, and a file with the mark is read
// as UTF-8.
class FontListCache final
{
public:
    // The file in `folder` (the program's folder).
    explicit FontListCache(const QString &folder);

    QString filePath() const { return m_path; }

    // The names of the cache. The file is written anew when it is missing, cannot be read, does
    // not hold the count of `screenFonts` on its first line or holds more names than there are
    // screen fonts. When it cannot be written, the names come from `screenFonts` directly.
    QStringList load(const QStringList &screenFonts) const;
    // The same for the fonts the desktop has now.
    QStringList load() const;

    // The file's bytes for a list of screen fonts.
    static QByteArray contents(const QStringList &screenFonts);

private:
    static QStringList usableNames(const QStringList &screenFonts);
    bool rebuild(const QStringList &screenFonts) const;
    // The names of the file, or false when it is missing, unreadable or does not fit the count.
    bool read(qsizetype screenFontCount, QStringList &names) const;

    QString m_path;
};

} // namespace qm::app
