#include "bulkimport.h"

#include "exchangeerror.h"

#include "app/store/dictionary/messages.h"

namespace qm::exchange {

namespace {
constexpr size_t BatchEntries = 512;
constexpr qint64 BatchBytes = 16 * 1024 * 1024;

QString writeFailure(const sqlite::Error &e)
{
    return QStringLiteral("辞書に書き込めません: %1").arg(store::describeFailure(e));
}
} // namespace

BulkImport::BulkImport(store::Dictionary &dictionary, Numbers numbers)
    : m_dictionary(dictionary), m_keeping(numbers == Numbers::KeepRising)
{
}

BulkImport::Numbering BulkImport::numberingOf(const jsonl::Record &record)
{
    if (m_keeping && record.entry.DocumentNumber <= m_lastKept)
        m_keeping = false;
    if (!m_keeping)
        return Numbering::New;
    m_lastKept = record.entry.DocumentNumber;
    return Numbering::Keep;
}

bool BulkImport::nextBatch(const Source &source, std::vector<store::Dictionary::NewEntry> &batch, Numbering &numbering)
{
    qint64 bytes = 0;
    for (;;) {
        Pending next;
        if (m_pending) {
            next = std::move(*m_pending);
            m_pending.reset();
        } else if (source(next.record, next.line)) {
            next.numbering = numberingOf(next.record);
        } else {
            return false;
        }
        // One batch is written with one way of numbering.
        if (!batch.empty() && next.numbering != numbering) {
            m_pending = std::move(next);
            return true;
        }
        if (batch.empty()) {
            numbering = next.numbering;
            m_firstLine = next.line;
        }
        m_lastLine = next.line;
        bytes += next.record.entry.Document.size();
        batch.push_back({std::move(next.record.entry), std::move(next.record.keywords)});
        if (batch.size() >= BatchEntries || bytes >= BatchBytes)
            return true;
    }
}

qint64 BulkImport::run(const Source &source)
{
    try {
        return m_dictionary.addEntriesFrom([&](std::vector<store::Dictionary::NewEntry> &batch, Numbering &numbering) {
            return nextBatch(source, batch, numbering);
        });
    } catch (const sqlite::Error &e) {
        if (m_firstLine == m_lastLine)
            throw ExchangeError(m_firstLine, writeFailure(e));
        throw ExchangeError(m_firstLine, QStringLiteral("%1 行目から %2 行目までの項目を書き込めません。").arg(m_firstLine).arg(m_lastLine)
                                             + writeFailure(e));
    }
}

} // namespace qm::exchange
