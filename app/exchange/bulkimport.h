#pragma once

#include "jsonlines.h"

#include "app/store/dictionary/dictionarystorage.h"

#include <functional>
#include <optional>

namespace qm::exchange {

// Writes imported entries into a dictionary as one transaction, in batches, so that memory
// holds one batch and not the whole file. Nothing is stored unless every entry is: a failure or
// a cancel (an exception thrown by the source) leaves the dictionary exactly as it was.
class BulkImport final
{
public:
    enum class Numbers {
        New,       // every entry gets a new number
        KeepRising // entries keep their numbers while these rise; from the first that does not, new ones
    };
    // Gives the next entry and the line of the file it was read from; false at the end.
    using Source = std::function<bool(jsonl::Record &record, qint64 &line)>;

    BulkImport(store::DictionaryStorage &dictionary, Numbers numbers);
    BulkImport(const BulkImport &) = delete;
    BulkImport &operator=(const BulkImport &) = delete;

    // Stores every entry of the source; returns how many. A failure to write throws
    // ExchangeError naming the lines of the batch being written.
    qint64 run(const Source &source);

private:
    using Numbering = store::Numbering;
    Numbering numberingOf(const jsonl::Record &record);
    bool nextBatch(const Source &source, std::vector<store::NewEntry> &batch, Numbering &numbering);

    struct Pending {
        jsonl::Record record;
        qint64 line = 0;
        Numbering numbering = Numbering::New;
    };

    store::DictionaryStorage &m_dictionary;
    bool m_keeping;
    qint32 m_lastKept = 0;
    // A record read that starts the next batch, as it is numbered otherwise.
    std::optional<Pending> m_pending;
    qint64 m_firstLine = 0;
    qint64 m_lastLine = 0;
};

} // namespace qm::exchange
