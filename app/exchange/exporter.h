#pragma once

#include "htmlwriter.h"

#include "app/store/progress.h"

#include <QList>

class QIODevice;

namespace qm::store {
class DatabaseModule;
class DictionaryStorage;
}

namespace qm::exchange {

enum class ExportFormat { JsonLines, Html };

struct ExportOptions {
    ExportFormat format = ExportFormat::JsonLines;
    // Called with the entries written and the number to write; false stops the export.
    store::Progress progress;
    // The page's own words, for an HTML export.
    html::Labels labels;
};

// One result row: an entry of a dictionary of the open set.
struct EntryRef {
    int slot = 0;
    qint32 number = 0;
};

// The exports write to the device and throw ExchangeError when it cannot be written, when a
// dictionary cannot be read, or when the progress callback stops them (the device then holds a
// part: write to a QSaveFile and commit it only on success).

// Every entry of one dictionary, by number.
void exportDictionary(store::DictionaryStorage &dictionary, QIODevice &out, const ExportOptions &options = {});
// The entries of one dictionary with these numbers, by number; a number named twice is written
// once, a number with no entry is passed over.
void exportEntries(store::DictionaryStorage &dictionary, const QList<qint32> &numbers, QIODevice &out,
                   const ExportOptions &options = {});
// Every open dictionary of the current set, in slot order, each with its entries by number.
void exportSet(store::DatabaseModule &module, QIODevice &out, const ExportOptions &options = {});
// The entries the rows name, by dictionary in slot order and by number; a row named twice is
// written once, a row whose dictionary or entry is gone is passed over.
void exportRows(store::DatabaseModule &module, const QList<EntryRef> &rows, QIODevice &out,
                const ExportOptions &options = {});

} // namespace qm::exchange
