#include "bulkimport.h"

#include "exchangeerror.h"

#include "platform/sqlite/error.h"

namespace qm::exchange {

namespace {
constexpr size_t BatchEntries = 512;
constexpr qint64 BatchBytes = 16 * 1024 * 1024;


} // namespace

BulkImport::BulkImport(store::DictionaryStorage &dictionary, Numbers numbers)
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

bool BulkImport::nextBatch(const Source &source, std::vector<store::NewEntry> &batch, Numbering &numbering)
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
        return m_dictionary.addEntriesFrom([&](std::vector<store::NewEntry> &batch, Numbering &numbering) {
            return nextBatch(source, batch, numbering);
        });
    } catch (const sqlite::Error &e) {
        if (m_firstLine == m_lastLine)
            throw ExchangeError(m_firstLine, reasonOf(Reason::Kind::DictionaryNotWritable, e));
        Reason batch = reasonOf(Reason::Kind::BatchNotWritable, e);
        batch.value = m_firstLine;
        batch.limit = m_lastLine;
        throw ExchangeError(m_firstLine, batch);
    }
}

} // namespace qm::exchange
