#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

namespace qm::store {
struct Entry;
}

namespace qm::app {

// Gives a control of the backup windows, which are laid out, its objectName.
template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A file size as the desktop's file lists show it: whole kilobytes rounded up with thousands
// separators ("1,234 KB") below a megabyte, then megabytes and gigabytes with one decimal.
QString formatFileSize(qint64 bytes);

// The time of a generation as the lists show it: "2026/12/09 06:30:12".
QString formatGenerationTime(const QDateTime &time);

// What the backup window shows of an entry's body: the text of a text, address or HTML body, the
// visible text of a rich-text body, and a line naming the size of an object.
QString entryPlainText(const store::Entry &entry);

} // namespace qm::app
