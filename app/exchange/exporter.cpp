#include "exporter.h"

#include "exchangeerror.h"
#include "htmlwriter.h"
#include "importer.h"
#include "jsonlines.h"

#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"

#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <map>
#include <set>

namespace qm::exchange {

namespace {

// The dictionaries to write and the entries of each, in the order they are written.
struct Part {
    store::DictionaryStorage *dictionary = nullptr;
    std::vector<qint32> numbers;
};

class Writer final
{
public:
    Writer(QIODevice &out, const ExportOptions &options, qint64 total)
        : m_out(out), m_options(options), m_total(total)
    {
    }

    void write(const std::vector<Part> &parts, const QString &title)
    {
        if (m_options.format == ExportFormat::Html)
            put(html::pageStart(title));
        for (const Part &part : parts)
            writePart(part);
        if (m_options.format == ExportFormat::Html)
            put(html::pageEnd());
        store::reportProgress(m_options.progress, m_total, m_total);
    }

private:
    void writePart(const Part &part)
    {
        store::DictionaryStorage &d = *part.dictionary;
        const jsonl::DictionaryDescription description = jsonl::describe(d);
        put(m_options.format == ExportFormat::Html ? html::dictionaryHeading(description.name)
                                                   : jsonl::headerLine(description));
        d.forEachEntry(part.numbers, [this](const store::Entry &entry, const QStringList &keywords) {
            writeEntry(entry, keywords);
            return true;
        });
    }

    void writeEntry(const store::Entry &entry, const QStringList &keywords)
    {
        put(m_options.format == ExportFormat::Html ? html::entry(entry, keywords, m_options.labels) : jsonl::entryLine(entry, keywords));
        if (++m_done % ProgressEvery == 0 && !store::reportProgress(m_options.progress, m_done, m_total))
            throw ExchangeError(0, reasonOf(Reason::Kind::ExportCancelled));
    }

    void put(const QByteArray &bytes)
    {
        if (m_out.write(bytes) != bytes.size())
            throw ExchangeError(0, reasonOf(Reason::Kind::OutputNotWritable, m_out.errorString()));
    }

    QIODevice &m_out;
    const ExportOptions &m_options;
    qint64 m_total;
    qint64 m_done = 0;
};

void writeParts(const std::vector<Part> &parts, const QString &title, QIODevice &out, const ExportOptions &options)
{
    qint64 total = 0;
    for (const Part &p : parts)
        total += qint64(p.numbers.size());
    try {
        Writer(out, options, total).write(parts, title);
    } catch (const sqlite::Error &e) {
        throw ExchangeError(0, reasonOf(Reason::Kind::DictionaryUnreadable, e));
    }
}

template <typename Fill>
std::vector<Part> readParts(Fill &&fill)
{
    try {
        return fill();
    } catch (const sqlite::Error &e) {
        throw ExchangeError(0, reasonOf(Reason::Kind::DictionaryUnreadable, e));
    }
}

} // namespace

void exportDictionary(store::DictionaryStorage &dictionary, QIODevice &out, const ExportOptions &options)
{
    QString title;
    std::vector<Part> parts = readParts([&] {
        title = jsonl::describe(dictionary).name;
        return std::vector<Part>{{&dictionary, dictionary.entryNumbers()}};
    });
    writeParts(parts, title, out, options);
}

void exportEntries(store::DictionaryStorage &dictionary, const QList<qint32> &numbers, QIODevice &out,
                   const ExportOptions &options)
{
    const std::set<qint32> chosen(numbers.begin(), numbers.end());
    QString title;
    std::vector<Part> parts = readParts([&] {
        title = jsonl::describe(dictionary).name;
        return std::vector<Part>{{&dictionary, std::vector<qint32>(chosen.begin(), chosen.end())}};
    });
    writeParts(parts, title, out, options);
}

void exportSet(store::DatabaseModule &module, QIODevice &out, const ExportOptions &options)
{
    std::vector<Part> parts = readParts([&] {
        std::vector<Part> all;
        for (int slot = 0; slot < module.DictionaryCount(); ++slot)
            if (store::DictionaryStorage *d = module.storage(slot))
                all.push_back({d, d->entryNumbers()});
        return all;
    });
    const int set = module.OpenDictionarySetsIndex();
    const QString title = set >= 0 && set < module.DictionarySetCount() ? module.DictionarySetList()[size_t(set)].name() : QString();
    writeParts(parts, title, out, options);
}

void exportRows(store::DatabaseModule &module, const QList<EntryRef> &rows, QIODevice &out, const ExportOptions &options)
{
    std::map<int, std::set<qint32>> bySlot;
    for (const EntryRef &r : rows)
        bySlot[r.slot].insert(r.number);
    std::vector<Part> parts;
    for (const auto &[slot, numbers] : bySlot)
        if (store::DictionaryStorage *d = module.storage(slot))
            parts.push_back({d, std::vector<qint32>(numbers.begin(), numbers.end())});
    writeParts(parts, options.labels.resultsTitle, out, options);
}

} // namespace qm::exchange
