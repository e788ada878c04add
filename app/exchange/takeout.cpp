#include "takeout.h"

#include "exchangeerror.h"
#include "exporter.h"
#include "importer.h"

#include "app/store/dictionary/dictionary.h"

#include <QDir>
#include <QTemporaryFile>

namespace qm::exchange {

qint64 takeOutEntries(store::Dictionary &from, const QList<qint32> &numbers, store::Dictionary &into)
{
    if (numbers.isEmpty())
        return 0;
    // The entries pass through a file of the system's temporary folder, never beside the source,
    // so memory holds one line at a time however many are chosen.
    QTemporaryFile passage(QDir::tempPath() + QStringLiteral("/quillmere-takeout-XXXXXX.jsonl"));
    if (!passage.open())
        throw ExchangeError(0, QStringLiteral("一時ファイルを作成できません: %1").arg(passage.errorString()));
    exportEntries(from, numbers, passage);
    if (!passage.flush() || !passage.seek(0))
        throw ExchangeError(0, QStringLiteral("一時ファイルに書き込めません: %1").arg(passage.errorString()));
    JsonImportOptions options;
    options.newNumbers = true;
    return importJsonLines(passage, into, options);
}

} // namespace qm::exchange
