#pragma once

#include "corvane_export.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvane {

// The font list cache "Font.ini" in the library's folder, from which the rich-text editor fills
// its font name box. Line 1 is the number of screen fonts when the file was written, then comes
// every screen font name without "@" (the vertical-writing variants), one per line, each ended
// by CR LF. The file is CP932; only when a name has no CP932 form is it UTF-8 behind a byte
// order mark, and a file with the mark is read as UTF-8.
//
// The file is written anew when the number of screen fonts differs from its first line (a font
// replaced by another one with the count unchanged is not noticed), and also when it is missing,
// unreadable or not a list of the fonts' size. A folder where it cannot be written does not keep
// anyone from choosing fonts: the names then come from the screen fonts directly.
class CORVANE_EXPORT FontListCache final
{
public:
    static QString fileName() { return QStringLiteral("Font.ini"); }

    // The names for the box, with the file in `folder` and the given screen fonts.
    static QStringList load(const QString &folder, const QStringList &screenFonts);
    // The same in the library's folder, for the fonts the desktop has now.
    static QStringList load();

    // The file's bytes for a list of screen fonts.
    static QByteArray contents(const QStringList &screenFonts);

    FontListCache() = delete;
};

} // namespace corvane
