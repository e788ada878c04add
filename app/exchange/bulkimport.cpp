#include "bulkimport.h"

#include "exchangeerror.h"

#include "app/store/messages.h"

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
    try {
        m_dictionary.beginEditSession();
    } catch (const sqlite::Error &e) {
        throw ExchangeError(0, writeFailure(e));
    }
}

BulkImport::~BulkImport()
{
    if (!m_committed)
        m_dictionary.rollbackEditSession();
}

void BulkImport::add(jsonl::Record record, qint64 line)
{
    using Numbering = store::Dictionary::Numbering;
    if (m_keeping && record.entry.DocumentNumber <= m_lastKept)
        m_keeping = false;
    const Numbering numbering = m_keeping ? Numbering::Keep : Numbering::New;
    if (m_keeping)
        m_lastKept = record.entry.DocumentNumber;
    // One batch is written with one way of numbering.
    if (!m_batch.empty() && numbering != m_batchNumbering)
        flush();
    if (m_batch.empty())
        m_firstLine = line;
    m_batchNumbering = numbering;
    m_lastLine = line;
    m_batchBytes += record.entry.Document.size();
    m_batch.push_back({std::move(record.entry), std::move(record.keywords)});
    if (m_batch.size() >= BatchEntries || m_batchBytes >= BatchBytes)
        flush();
}

void BulkImport::flush()
{
    if (m_batch.empty())
        return;
    try {
        m_dictionary.addEntries(m_batch, m_batchNumbering);
    } catch (const sqlite::Error &e) {
        const QString where = m_firstLine == m_lastLine
                                  ? QString()
                                  : QStringLiteral("%1 行目から %2 行目までの項目を書き込めません。").arg(m_firstLine).arg(m_lastLine);
        throw ExchangeError(m_firstLine == m_lastLine ? m_lastLine : m_firstLine, where + writeFailure(e));
    }
    m_added += qint64(m_batch.size());
    m_batch.clear();
    m_batchBytes = 0;
}

void BulkImport::commit()
{
    flush();
    try {
        m_dictionary.commitEditSession();
    } catch (const sqlite::Error &e) {
        throw ExchangeError(0, writeFailure(e));
    }
    m_committed = true;
}

} // namespace qm::exchange
