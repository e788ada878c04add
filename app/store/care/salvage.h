#pragma once

#include "app/store/dictionary/storeerror.h"
#include "app/store/progress.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace qm::sqlite {
class Error;
}

namespace qm::store {

// An entry saved without some of what it held: a keyword row, its heading, body or date could
// not be read.
struct IncompleteEntry {
    qint32 number = 0;
    QString heading;
};

// What a salvage read out of a damaged dictionary, and what it could not. Every entry the
// damaged file is known to have held is counted once: saved whole, saved incomplete or lost.
struct SalvageReport {
    // Entries saved with every field and every keyword they are known to have had.
    qint64 entriesSaved = 0;
    qint64 keywordsSaved = 0;
    // Entries saved without some part; each carries the incomplete keyword (when one is given)
    // besides the keywords that could be read (that one is not counted in keywordsSaved).
    qint64 entriesIncomplete = 0;
    // Entries known to exist (from the table or its indexes) whose rows could not be read.
    qint64 entriesLost = 0;
    // Keyword rows that could not be read, and the readable ones of entries that were lost.
    qint64 keywordsLost = 0;
    // The incomplete entries in number order.
    std::vector<IncompleteEntry> incomplete;
};


// Reads what can still be read of a damaged dictionary into a new dictionary at `target`.
//
// The damaged file is only read, as it lies on disk: no lock, no journal, no file beside it.
// Its entry and keyword tables are walked by row number past pages that fail, each row read on
// its own, so a damaged page loses only the rows on it; keyword rows whose table page is gone
// come from the keyword index. When the file's first page or its tree is gone, its pages are
// read one by one instead (see salvagesource.h). The new file keeps the entry numbers and
// the properties that can be read; it is written in one transaction under a temporary name,
// checked, and only then given its name. The name is resolved to its real file first; a
// dictionary (any database of the engine), one of `setMembers`, the damaged file itself, a device
// or a folder is refused, and another file it replaces passes on its mode, owner and group.
// Every entry saved incomplete gets `incompleteKeyword` (the program's word for it), so that a
// lookup finds them all. Throws a Error (Kind::Cancelled when the progress asks to stop);
// no file is left then, and a file under the name stays as it was.
SalvageReport SalvageDictionary(const QString &damaged, const QString &target, const Progress &progress = {},
                                const QStringList &setMembers = {}, const QString &incompleteKeyword = {});

} // namespace qm::store
