#include "importer.h"

#include "bulkimport.h"
#include "exchangeerror.h"
#include "linereader.h"

#include "app/store/dictionary/viewertype.h"

#include <QIODevice>

namespace qm::exchange {

namespace {

jsonl::Line parseNumbered(const LineReader &reader, const QByteArray &line, const jsonl::Limits &limits)
{
    const qint64 number = reader.lineNumber();
    if (!reader.lineEnded())
        throw ExchangeError(number, reasonOf(Reason::Kind::LastLineCut));
    try {
        jsonl::Line parsed = jsonl::parseLine(line, limits);
        if (number == 1 && !parsed.isHeader)
            throw ExchangeError(0, reasonOf(Reason::Kind::FirstLineNotHeader));
        return parsed;
    } catch (const ExchangeError &e) {
        throw ExchangeError(number, e.reason());
    }
}

Reason emptyFile()
{
    return reasonOf(Reason::Kind::EmptyFile);
}

} // namespace

void countConverted(ImportTally &tally, const jsonl::Record &record)
{
    if (!record.textConverted)
        return;
    if (record.entry.Viewer == store::viewerCode(store::Viewer::Html))
        ++tally.asHtml;
    else
        ++tally.asRichText;
}

qint64 importJsonLines(QIODevice &in, store::DictionaryStorage &dictionary, const JsonImportOptions &options, ImportTally *tally)
{
    const qint64 total = in.size();
    LineReader reader(in, options.maxLineBytes);
    const bool keep = !options.newNumbers && dictionary.entryCount() == 0;
    BulkImport bulk(dictionary, keep ? BulkImport::Numbers::KeepRising : BulkImport::Numbers::New);
    QByteArray line;
    ImportTally counts;
    // Every line is read: the import stops with all the lines it refuses, not the first.
    ProblemList problems;
    const auto nextLine = [&] { return problems.readNext(reader, line); };
    const qint64 added = bulk.run([&](jsonl::Record &record, qint64 &number) {
        while (nextLine()) {
            if (reader.lineNumber() % ProgressEvery == 0 && !store::reportProgress(options.progress, reader.bytesRead(), total))
                throw ExchangeError(0, reasonOf(Reason::Kind::ImportCancelled));
            jsonl::Line parsed;
            try {
                parsed = parseNumbered(reader, line, options.limits);
            } catch (const ExchangeError &e) {
                if (e.line() == 1)
                    throw; // not a file of this format: its lines mean nothing
                problems.add(e);
                continue;
            }
            line = QByteArray(); // not held while the entry is written
            if (parsed.isHeader || !problems.isEmpty())
                continue;
            countConverted(counts, parsed.record);
            record = std::move(parsed.record);
            number = reader.lineNumber();
            return true;
        }
        problems.throwIfAny();
        if (reader.lineNumber() == 0)
            throw ExchangeError(0, emptyFile());
        return false;
    });
    store::reportProgress(options.progress, total, total);
    counts.added = added;
    if (tally)
        *tally = counts;
    return added;
}

jsonl::DictionaryDescription readJsonHeader(QIODevice &in, const JsonImportOptions &options)
{
    const qint64 start = in.pos();
    LineReader reader(in, options.maxLineBytes);
    QByteArray line;
    const bool any = reader.next(line);
    in.seek(start);
    if (!any)
        throw ExchangeError(0, emptyFile());
    return parseNumbered(reader, line, options.limits).header;
}

} // namespace qm::exchange
