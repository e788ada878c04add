#include "takeout.h"

#include "exchangeerror.h"
#include "exporter.h"
#include "importer.h"

#include <QDir>
#include <QTemporaryFile>

namespace qm::exchange {

qint64 takeOutEntries(store::DictionaryStorage &from, const QList<qint32> &numbers, store::DictionaryStorage &into)
{
    if (numbers.isEmpty())
        return 0;
    // The entries pass through a file of the system's temporary folder, never beside the source,
    // so memory holds one line at a time however many are chosen.
    QTemporaryFile passage(QDir::tempPath() + QStringLiteral("/quillmere-takeout-XXXXXX.jsonl"));
    if (!passage.open())
        throw ExchangeError(0, reasonOf(Reason::Kind::TemporaryNotCreated, passage.errorString()));
    exportEntries(from, numbers, passage);
    if (!passage.flush() || !passage.seek(0))
        throw ExchangeError(0, reasonOf(Reason::Kind::TemporaryNotWritten, passage.errorString()));
    JsonImportOptions options;
    options.newNumbers = true;
    return importJsonLines(passage, into, options);
}

} // namespace qm::exchange
