#include "datetext.h"

#include <QDateTime>

namespace qm::desktop {

QString dateText(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy/MM/dd")) : QString();
}

QString dateTimeText(const QDateTime &dateTime)
{
    return dateTime.isValid() ? dateTime.toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QString();
}

} // namespace qm::desktop
