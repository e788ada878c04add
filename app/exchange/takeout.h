#pragma once

#include <QList>

namespace qm::store {
class DictionaryStorage;
}

namespace qm::exchange {

// Copies chosen entries of one dictionary (a backup generation opened for reading) into another
// through the dictionary's own exchange format: bodies and keywords as stored, new numbers in
// the target, all in one transaction. Returns how many were added. Throws ExchangeError with the
// reason; the target is then exactly as it was. The source is only read.
qint64 takeOutEntries(store::DictionaryStorage &from, const QList<qint32> &numbers, store::DictionaryStorage &into);

} // namespace qm::exchange
