#include "wordlist.h"

#include "bulkimport.h"
#include "exchangeerror.h"
#include "importer.h"
#include "linereader.h"

#include "app/store/dictionary.h"
#include "app/store/viewertype.h"
#include "platform/sqlite/statement.h"
#include "platform/text/cp932.h"

#include <QIODevice>
#include <QSet>
#include <QStringDecoder>

namespace qm::exchange::wordlist {

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

// True when the bytes end with the first bytes of a UTF-8 sequence that is not complete.
bool endsInsideCharacter(const QByteArray &bytes)
{
    for (int back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back;
    }
    return false;
}

// Reads rows of fields across quoted line breaks, one line of the file at a time.
class RowReader final
{
public:
    RowReader(QIODevice &in, const Options &options)
        : m_lines(in, options.maxRowBytes), m_delimiter(options.delimiter), m_max(options.maxRowBytes)
    {
        const Encoding encoding = options.encoding == Encoding::Auto ? detectEncoding(in) : options.encoding;
        m_utf8 = encoding == Encoding::Utf8;
    }

    // The next row that has any text; false at the end of the file.
    bool next(QStringList &fields)
    {
        for (;;) {
            if (!readRow(fields))
                return false;
            for (const QString &f : fields)
                if (!f.isEmpty())
                    return true;
        }
    }
    qint64 rowLine() const { return m_rowLine; }
    qint64 bytesRead() const { return m_lines.bytesRead(); }

private:
    QString decodedLine(QByteArray line)
    {
        if (line.endsWith('\r'))
            line.chop(1);
        if (m_lines.lineNumber() == 1 && line.startsWith(Bom))
            line.remove(0, Bom.size());
        return m_utf8 ? QString::fromUtf8(line) : text::cp932::decode(line);
    }

    bool readRow(QStringList &fields)
    {
        fields.clear();
        QString field;
        bool quoted = false;
        QByteArray raw;
        if (!m_lines.next(raw))
            return false;
        m_rowLine = m_lines.lineNumber();
        qint64 size = raw.size();
        for (;;) {
            const QString line = decodedLine(raw);
            for (qsizetype i = 0; i < line.size(); ++i) {
                const QChar c = line[i];
                if (quoted) {
                    if (c != u'"')
                        field += c;
                    else if (i + 1 < line.size() && line[i + 1] == u'"')
                        field += line[++i];
                    else
                        quoted = false;
                } else if (c == m_delimiter) {
                    fields.append(std::exchange(field, QString()));
                } else if (c == u'"' && field.isEmpty()) {
                    quoted = true;
                } else {
                    field += c;
                }
            }
            if (!quoted)
                break;
            // A line break inside quotes belongs to the field.
            if (!m_lines.next(raw))
                throw ExchangeError(m_rowLine, QStringLiteral("引用符 (\") が閉じないままファイルが終わっています"));
            size += raw.size() + 1;
            if (size > m_max)
                throw ExchangeError(m_rowLine, QStringLiteral("行が長すぎます (%1 バイトを超えています)").arg(m_max));
            field += u'\n';
        }
        fields.append(field);
        return true;
    }

    LineReader m_lines;
    QChar m_delimiter;
    qint64 m_max;
    bool m_utf8 = true;
    qint64 m_rowLine = 0;
};

QDateTime parseDate(const QString &text)
{
    if (text.isEmpty())
        return QDateTime::currentDateTime().addMSecs(-QTime::currentTime().msec());
    static const QStringList formats{
        QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm"),
        QStringLiteral("yyyy-MM-dd"),          QStringLiteral("yyyy/M/d H:mm:ss"),    QStringLiteral("yyyy/M/d H:mm"),
        QStringLiteral("yyyy/M/d")};
    for (const QString &format : formats) {
        const QDateTime date = QDateTime::fromString(text, format);
        if (date.isValid())
            return date;
        const QDate day = QDate::fromString(text, format);
        if (day.isValid())
            return day.startOfDay();
    }
    throw ExchangeError(0, QStringLiteral("日付 \"%1\" が読めません").arg(text));
}

QStringList splitKeywords(const QString &cell, const QString &separator)
{
    QStringList out;
    for (const QString &part : separator.isEmpty() ? QStringList{cell} : cell.split(separator)) {
        const QString keyword = part.trimmed();
        if (keyword.isEmpty())
            continue;
        if (const QString problem = jsonl::keywordProblem(keyword); !problem.isNull())
            throw ExchangeError(0, problem);
        out.append(keyword);
    }
    return out;
}

jsonl::Record recordOf(const QStringList &fields, const Options &options)
{
    jsonl::Record r;
    r.entry.Viewer = store::viewerCode(store::Viewer::Text);
    QString body;
    QString date;
    for (qsizetype i = 0; i < fields.size() && i < options.columns.size(); ++i) {
        switch (options.columns[i]) {
        case Column::Keyword: r.keywords += splitKeywords(fields[i], options.keywordSeparator); break;
        case Column::Heading: r.entry.Heading = fields[i].trimmed(); break;
        case Column::Body: body = fields[i]; break;
        case Column::Date: date = fields[i].trimmed(); break;
        case Column::Skip: break;
        }
    }
    if (r.entry.Heading.isEmpty() && !r.keywords.isEmpty())
        r.entry.Heading = r.keywords.first();
    if (r.keywords.isEmpty() && !r.entry.Heading.isEmpty()) {
        if (const QString problem = jsonl::keywordProblem(r.entry.Heading); !problem.isNull())
            throw ExchangeError(0, problem);
        r.keywords.append(r.entry.Heading);
    }
    if (r.keywords.isEmpty())
        throw ExchangeError(0, QStringLiteral("キーワードも見出しもありません"));
    text::cp932::EncodeResult encoded = text::cp932::encode(body);
    if (!encoded.ok())
        throw ExchangeError(0, QStringLiteral("本文に CP932 で表せない文字があります: %1").arg(text::cp932::describe(encoded.unencodable)));
    if (encoded.bytes.size() > options.limits.maxBodyBytes)
        throw ExchangeError(0, QStringLiteral("本文が大きすぎます (%1 バイト、上限は %2 バイトです)")
                                   .arg(encoded.bytes.size())
                                   .arg(options.limits.maxBodyBytes));
    r.entry.Document = std::move(encoded.bytes);
    r.entry.RenewalDate = parseDate(date);
    return r;
}

// The rows after the header row as entries, each with the line it starts on.
class RecordReader final
{
public:
    RecordReader(QIODevice &in, const Options &options) : m_rows(in, options), m_options(options) {}

    bool next(Row &row)
    {
        QStringList fields;
        while (m_rows.next(fields)) {
            if (std::exchange(m_header, false))
                continue;
            row.line = m_rows.rowLine();
            try {
                row.record = recordOf(fields, m_options);
            } catch (const ExchangeError &e) {
                throw ExchangeError(row.line, e.reason());
            }
            return true;
        }
        return false;
    }
    qint64 bytesRead() const { return m_rows.bytesRead(); }

private:
    RowReader m_rows;
    const Options &m_options;
    bool m_header = m_options.headerRow;
};

// Puts the device back where it was, also when a row that cannot be read ends the reading: a
// preview that fails must not leave the next one (or the import) starting in the middle.
class KeepPosition final
{
public:
    explicit KeepPosition(QIODevice &device) : m_device(device), m_start(device.pos()) {}
    KeepPosition(const KeepPosition &) = delete;
    KeepPosition &operator=(const KeepPosition &) = delete;
    ~KeepPosition() { m_device.seek(m_start); }

private:
    QIODevice &m_device;
    qint64 m_start;
};

class HeadingCheck final
{
public:
    explicit HeadingCheck(store::Dictionary &dictionary)
        : m_find(dictionary.database(), "SELECT 1 FROM Document WHERE Heading = ?1 LIMIT 1")
    {
    }
    // True when the heading was stored before or taken already by this import.
    bool seen(const QString &heading)
    {
        if (m_taken.contains(heading))
            return true;
        m_taken.insert(heading);
        m_find.bind(1, heading);
        const bool stored = m_find.step();
        m_find.reset();
        return stored;
    }

private:
    sqlite::Statement m_find;
    QSet<QString> m_taken;
};

} // namespace

std::optional<Column> columnFromName(QStringView name)
{
    static const std::pair<const char *, Column> names[] = {{"keyword", Column::Keyword},
                                                            {"heading", Column::Heading},
                                                            {"body", Column::Body},
                                                            {"date", Column::Date},
                                                            {"skip", Column::Skip}};
    for (const auto &[text, column] : names)
        if (name.trimmed().compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return column;
    return std::nullopt;
}

std::optional<QList<Column>> columnsFromText(QStringView text)
{
    QList<Column> out;
    for (const QStringView part : text.split(u',')) {
        const std::optional<Column> column = columnFromName(part);
        if (!column)
            return std::nullopt;
        out.append(*column);
    }
    return out;
}

Encoding detectEncoding(QIODevice &in)
{
    const qint64 start = in.pos();
    if (in.peek(Bom.size()) == Bom)
        return Encoding::Utf8;
    QStringDecoder utf8(QStringDecoder::Utf8);
    bool valid = true;
    QByteArray last;
    while (valid) {
        const QByteArray block = in.read(1024 * 1024);
        if (block.isEmpty())
            break;
        const QString decoded = utf8.decode(block);
        valid = !utf8.hasError();
        last = block;
    }
    in.seek(start);
    // A character cut off by the end of the file is not UTF-8 either.
    if (valid && endsInsideCharacter(last))
        valid = false;
    return valid ? Encoding::Utf8 : Encoding::Cp932;
}

std::vector<Row> preview(QIODevice &in, const Options &options, int count)
{
    const KeepPosition kept(in);
    std::vector<Row> rows;
    RecordReader reader(in, options);
    Row row;
    while (int(rows.size()) < count && reader.next(row))
        rows.push_back(std::move(row));
    return rows;
}

int columnCount(QIODevice &in, const Options &options, int count)
{
    const KeepPosition kept(in);
    RowReader reader(in, options);
    QStringList fields;
    int widest = 0;
    for (int i = 0; i < count && reader.next(fields); ++i)
        widest = std::max(widest, int(fields.size()));
    return widest;
}

qint64 importWordList(QIODevice &in, store::Dictionary &dictionary, const Options &options)
{
    const qint64 total = in.size();
    RecordReader reader(in, options);
    BulkImport bulk(dictionary, BulkImport::Numbers::New);
    std::optional<HeadingCheck> duplicates;
    if (options.duplicates == Duplicates::Skip)
        duplicates.emplace(dictionary);
    qint64 rows = 0;
    Row row;
    const qint64 added = bulk.run([&](jsonl::Record &record, qint64 &line) {
        while (reader.next(row)) {
            if (++rows % ProgressEvery == 0 && !store::reportProgress(options.progress, reader.bytesRead(), total))
                throw ExchangeError(0, cancelledReason());
            if (duplicates && duplicates->seen(row.record.entry.Heading))
                continue;
            record = std::move(row.record);
            line = row.line;
            return true;
        }
        return false;
    });
    store::reportProgress(options.progress, total, total);
    return added;
}

} // namespace qm::exchange::wordlist
