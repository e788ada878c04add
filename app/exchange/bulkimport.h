#pragma once

#include "jsonlines.h"

#include "app/store/dictionary.h"

#include <vector>

namespace qm::exchange {

// Writes imported entries into a dictionary as one transaction, in batches, so that memory
// holds one batch and not the whole file. Nothing is stored unless commit() succeeds: a failure,
// a cancel or destruction before commit() leaves the dictionary exactly as it was.
class BulkImport final
{
public:
    enum class Numbers {
        New,      // every entry gets a new number
        KeepRising // entries keep their numbers while these rise; from the first that does not, new ones
    };
    // Throws ExchangeError when the dictionary cannot be written.
    BulkImport(store::Dictionary &dictionary, Numbers numbers);
    ~BulkImport();
    BulkImport(const BulkImport &) = delete;
    BulkImport &operator=(const BulkImport &) = delete;

    // Adds an entry read from `line` of the file; a failure to write is named with the line.
    void add(jsonl::Record record, qint64 line);
    void commit();
    qint64 added() const { return m_added; }

private:
    void flush();

    store::Dictionary &m_dictionary;
    bool m_keeping;
    qint32 m_lastKept = 0;
    std::vector<store::Dictionary::NewEntry> m_batch;
    store::Dictionary::Numbering m_batchNumbering = store::Dictionary::Numbering::New;
    qint64 m_batchBytes = 0;
    qint64 m_firstLine = 0;
    qint64 m_lastLine = 0;
    qint64 m_added = 0;
    bool m_committed = false;
};

} // namespace qm::exchange
