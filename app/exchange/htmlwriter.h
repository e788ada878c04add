#pragma once

#include "app/store/dictionary/entry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// One self-contained HTML page of entries that any browser shows: headings, keywords, dates
// and bodies. Everything taken from a dictionary is escaped; HTML and rich-text bodies wait,
// escaped, in boxes the page's script turns into sandboxed frames when they come into view, so
// their markup can neither run scripts nor break the page, and a large page opens at once.
// Pictures are inlined as data: URLs and the page's security policy forbids every other load,
// so the page needs no other file and fetches nothing.
namespace qm::exchange::html {

// The words the page shows beside what the dictionary holds, given by the program. "%1" (and
// "%2", "%3") stand for the values named.
struct Labels {
    QString showBody;         // the button that shows a body's box
    QString droppedImage;     // %1: the address of an image left out
    QString unreadableObject; // %1: its size in bytes
    QString linkedFile;       // %1: the path
    QString embeddedFile;     // %1: the name, %2: the type, %3: the size in bytes
    QString updated;          // %1: the date and time
    QString resultsTitle;     // the title of a page of result rows
};

QByteArray pageStart(const QString &title);
QByteArray dictionaryHeading(const QString &name);
QByteArray entry(const store::Entry &entry, const QStringList &keywords, const Labels &labels);
QByteArray pageEnd();

// Text with &, <, >, " and ' escaped for element content and quoted attributes.
QString escape(QStringView text);
// An HTML document with nothing left that the browser would fetch from elsewhere: attributes
// that load an address (images, frames, style sheets, media, forms) are left out unless they hold
// inline data, and so are url() and @import in styles, <link>, <base> and <meta http-equiv>. An
// image that loses its address is followed by a visible note.
QString withoutRemoteLoads(QStringView document, const Labels &labels);
// A rich-text body as an HTML document, its pictures inlined as data: URLs.
QString richTextToHtml(QStringView rtf);

} // namespace qm::exchange::html
