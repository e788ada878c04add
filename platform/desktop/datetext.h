#pragma once

#include <QString>

class QDate;
class QDateTime;

namespace qm::desktop {

// Dates as every window shows them, in the Japanese numeric form whatever the user's locale:
// "2026/12/08", and with the time "2026/12/08 09:05". An invalid date gives an empty text.
QString dateText(const QDate &date);
QString dateTimeText(const QDateTime &dateTime);

} // namespace qm::desktop
