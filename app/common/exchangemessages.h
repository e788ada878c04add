#pragma once

#include "app/exchange/exchangeerror.h"
#include "app/exchange/htmlwriter.h"
#include "app/exchange/importer.h"

#include <QString>

// The words of the exchange of entries: why an import or export is refused, the report of an
// import and the words an exported page shows. The windows and the command line say them alike.
namespace qm::app {

// The reason alone.
QString exchangeReason(const exchange::Reason &reason);
// "12 行目: reason", or the reason alone when no line is to blame.
QString exchangeLineMessage(qint64 line, const exchange::Reason &reason);
// The error as the user reads it: one line's message, or for several lines how many there are
// and the first of them, one a line.
QString exchangeMessage(const exchange::ExchangeError &error);
// "N 件の項目を<where>に追加しました。" and what became of the bodies stored in another type
// and of the rows skipped.
QString importReport(const exchange::ImportTally &tally, const QString &where);
// The words of an exported HTML page.
exchange::html::Labels htmlLabels();

} // namespace qm::app
