#include "importer.h"

#include "bulkimport.h"
#include "exchangeerror.h"
#include "linereader.h"

#include <QIODevice>

namespace qm::exchange {

namespace {

jsonl::Line parseNumbered(const LineReader &reader, const QByteArray &line, const jsonl::Limits &limits)
{
    const qint64 number = reader.lineNumber();
    if (!reader.lineEnded())
        throw ExchangeError(number, QStringLiteral("最後の行が途中で切れています (改行で終わっていません)"));
    try {
        jsonl::Line parsed = jsonl::parseLine(line, limits);
        if (number == 1 && !parsed.isHeader)
            throw ExchangeError(0, QStringLiteral("この形式のファイルではありません (1 行目が辞書の説明ではありません)"));
        return parsed;
    } catch (const ExchangeError &e) {
        throw ExchangeError(number, e.reason());
    }
}

QString emptyFile()
{
    return QStringLiteral("ファイルが空です");
}

} // namespace

qint64 importJsonLines(QIODevice &in, store::Dictionary &dictionary, const JsonImportOptions &options)
{
    const qint64 total = in.size();
    LineReader reader(in, options.maxLineBytes);
    const bool keep = !options.newNumbers && dictionary.documentRowCount() == 0;
    BulkImport bulk(dictionary, keep ? BulkImport::Numbers::KeepRising : BulkImport::Numbers::New);
    QByteArray line;
    const qint64 added = bulk.run([&](jsonl::Record &record, qint64 &number) {
        while (reader.next(line)) {
            jsonl::Line parsed = parseNumbered(reader, line, options.limits);
            line = QByteArray(); // not held while the entry is written
            if (reader.lineNumber() % ProgressEvery == 0 && !store::reportProgress(options.progress, reader.bytesRead(), total))
                throw ExchangeError(0, cancelledReason());
            if (parsed.isHeader)
                continue;
            record = std::move(parsed.record);
            number = reader.lineNumber();
            return true;
        }
        if (reader.lineNumber() == 0)
            throw ExchangeError(0, emptyFile());
        return false;
    });
    store::reportProgress(options.progress, total, total);
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
