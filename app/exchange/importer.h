#pragma once

#include "jsonlines.h"

#include "app/store/progress.h"

class QIODevice;

namespace qm::store {
class DictionaryStorage;
}

namespace qm::exchange {

// How often a long import or export reports its progress, in lines or entries.
inline constexpr qint64 ProgressEvery = 256;

// What an import did besides adding entries, for its report.
struct ImportTally {
    qint64 added = 0;
    // Plain-text bodies that CP932 cannot hold, stored as rich text or HTML instead.
    qint64 asRichText = 0;
    qint64 asHtml = 0;
    // Rows left out because an entry with their heading was there already.
    qint64 skipped = 0;
};

// Counts a record added: whether its plain text went into another type, and which.
void countConverted(ImportTally &tally, const jsonl::Record &record);

struct JsonImportOptions {
    // A longer line is refused without being read whole: room for the largest body in any form.
    qint64 maxLineBytes = jsonl::maxLineBytes({});
    jsonl::Limits limits;
    // Called with the bytes read and the file's size; false stops the import.
    store::Progress progress;
    // Every entry gets a new number, even in an empty dictionary.
    bool newNumbers = false;
};

// Imports a file of the dictionary's own format into the dictionary. Into an empty dictionary
// (unless `newNumbers`) the entries keep their numbers (while they rise, as an exported file has
// them); into one with entries they get new ones. Every line is checked; the first bad one ends the import
// with ExchangeError naming it, and the dictionary is then exactly as before (so too after a
// cancel or a failed write). Returns the number of entries added.
// `tally`, when given, receives the counts of a successful import.
qint64 importJsonLines(QIODevice &in, store::DictionaryStorage &dictionary, const JsonImportOptions &options = {},
                       ImportTally *tally = nullptr);

// The description on the first line of such a file, for making a new dictionary to import it
// into. Leaves the device where it was. Throws ExchangeError for a file that is not one.
jsonl::DictionaryDescription readJsonHeader(QIODevice &in, const JsonImportOptions &options = {});

} // namespace qm::exchange
