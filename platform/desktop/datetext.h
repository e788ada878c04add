#pragma once

#include <QString>

class QDate;
class QDateTime;

namespace qm::desktop {

// Dates as every window shows them, in the Japanese numeric form whatever the user's locale:
// "2026/12/08", and with the time "2026/12/08 09:05". An invalid date gives an empty text.
QString dateText(const QDate &date);
QString dateTimeText(const QDateTime &dateTime);

// Names the local time zone's file in TZ when TZ is not set. Without it the C library looks at
// /etc/localtime again for every date it converts, so a lookup or an export pays a system call
// for each row; named once, the zone is read once. Call it first thing in main().
void pinLocalTimeZone();

} // namespace qm::desktop
