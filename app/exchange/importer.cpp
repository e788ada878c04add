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

QString importReport(const ImportTally &tally, TextFallback fallback, const QString &where)
{
    QString out = QStringLiteral("%1 件の項目を%2に追加しました。").arg(tally.added).arg(where);
    if (tally.converted > 0)
        out += QStringLiteral("\nそのうち %1 件は本文に CP932 で表せない文字があるため、%2として保存しました。")
                   .arg(tally.converted)
                   .arg(fallback == TextFallback::Html ? QStringLiteral("HTML") : QStringLiteral("リッチテキスト"));
    if (tally.skipped > 0)
        out += QStringLiteral("\n同じ見出しがあるため %1 行を読み飛ばしました。").arg(tally.skipped);
    return out;
}

qint64 importJsonLines(QIODevice &in, store::Dictionary &dictionary, const JsonImportOptions &options, ImportTally *tally)
{
    const qint64 total = in.size();
    LineReader reader(in, options.maxLineBytes);
    const bool keep = !options.newNumbers && dictionary.documentRowCount() == 0;
    BulkImport bulk(dictionary, keep ? BulkImport::Numbers::KeepRising : BulkImport::Numbers::New);
    QByteArray line;
    qint64 converted = 0;
    // Every line is read: the import stops with all the lines it refuses, not the first.
    ProblemList problems;
    const auto nextLine = [&] {
        try {
            return reader.next(line);
        } catch (const ExchangeError &e) {
            problems.add(e); // the file cannot be read on from here
            return false;
        }
    };
    const qint64 added = bulk.run([&](jsonl::Record &record, qint64 &number) {
        while (nextLine()) {
            if (reader.lineNumber() % ProgressEvery == 0 && !store::reportProgress(options.progress, reader.bytesRead(), total))
                throw ExchangeError(0, cancelledReason());
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
            converted += parsed.record.textConverted ? 1 : 0;
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
    if (tally)
        *tally = {added, converted, 0};
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
