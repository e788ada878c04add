#include "wordlist.h"

#include "bulkimport.h"
#include "exchangeerror.h"
#include "importer.h"
#include "linereader.h"

#include "app/store/dictionary/dictionarystorage.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/text/cp932.h"
#include "platform/text/utf8check.h"

#include <QIODevice>
#include <QSet>
#include <QStringDecoder>

namespace qm::exchange::wordlist {

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

using Kind = Reason::Kind;

// The 1-based character of the line that holds the first byte the encoding cannot read, and
// that byte; nullopt when every byte reads.
std::optional<Reason> undecodable(const QByteArray &line, const QString &decoded, bool utf8)
{
    if (utf8) {
        const text::Utf8Check check = text::checkUtf8(line);
        if (check.invalidAt < 0 && check.validEnd == line.size())
            return std::nullopt;
        const qsizetype at = check.invalidAt < 0 ? check.validEnd : check.invalidAt;
        Reason r = reasonOf(Kind::UndecodableUtf8);
        r.value = QString::fromUtf8(line.first(at)).size() + 1;
        r.byte = static_cast<unsigned char>(line[at]);
        return r;
    }
    // CP932 has no U+FFFD: where decoding gives one, a byte did not read.
    const qsizetype at = decoded.indexOf(QChar::ReplacementCharacter);
    if (at < 0)
        return std::nullopt;
    Reason r = reasonOf(Kind::UndecodableCp932);
    r.value = at + 1;
    return r;
}

// Counts lines as the reader of rows does: CR LF, LF and a lone CR each end one.
class LineCount final
{
public:
    void count(QByteArrayView bytes)
    {
        for (const char c : bytes) {
            if (c == '\r' || (c == '\n' && !m_afterCr))
                ++m_ends;
            m_afterCr = c == '\r';
        }
    }
    // The 1-based number of the line the next byte is on.
    qint64 current() const { return m_ends + 1; }

private:
    qint64 m_ends = 0;
    bool m_afterCr = false;
};

// Reads rows of fields across quoted line breaks, one line of the file at a time. A line ends
// at CR LF, LF or a lone CR outside quotes; inside quotes the line end stays in the field as
// the file has it.
class RowReader final
{
public:
    RowReader(QIODevice &in, const Options &options)
        : m_lines(in, options.maxRowBytes, LineReader::LineEnds::Any)
        , m_delimiter(options.delimiter)
        , m_max(options.maxRowBytes)
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
    // The first byte of the row that the encoding cannot read: its line and what it is; no
    // problem when every byte reads.
    qint64 problemLine() const { return m_problemLine; }
    const std::optional<Reason> &problem() const { return m_problem; }

private:
    QString decodedLine(QByteArray line)
    {
        if (m_lines.lineNumber() == 1 && line.startsWith(Bom))
            line.remove(0, Bom.size());
        QString decoded = m_utf8 ? QString::fromUtf8(line) : text::cp932::decode(line);
        if (!m_problem) {
            m_problem = undecodable(line, decoded, m_utf8);
            m_problemLine = m_lines.lineNumber();
        }
        return decoded;
    }

    bool readRow(QStringList &fields)
    {
        fields.clear();
        m_problem.reset();
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
            const QString lineEnd = QString::fromLatin1(m_lines.lineEnd());
            if (!m_lines.next(raw))
                throw ExchangeError(m_rowLine, reasonOf(Kind::QuoteNotClosed));
            size += raw.size() + lineEnd.size();
            if (size > m_max)
                throw ExchangeError(m_rowLine, measuredReason(Kind::LineTooLong, 0, m_max));
            field += lineEnd;
        }
        fields.append(field);
        return true;
    }

    LineReader m_lines;
    QChar m_delimiter;
    qint64 m_max;
    bool m_utf8 = true;
    qint64 m_rowLine = 0;
    qint64 m_problemLine = 0;
    std::optional<Reason> m_problem;
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
    Reason r = reasonOf(Kind::UnreadableDate);
    r.text = text;
    throw ExchangeError(0, r);
}

QStringList splitKeywords(const QString &cell, const QString &separator)
{
    QStringList out;
    for (const QString &part : separator.isEmpty() ? QStringList{cell} : cell.split(separator)) {
        const QString keyword = part.trimmed();
        if (keyword.isEmpty())
            continue;
        if (const std::optional<Reason> problem = jsonl::keywordProblem(keyword))
            throw ExchangeError(0, *problem);
        out.append(keyword);
    }
    return out;
}

// A row holds no text the columns leave out; and a row of one cell where several columns are
// expected is a file read with the wrong separator, whose lines would become keywords whole.
void checkCells(const QStringList &fields, const Options &options)
{
    for (qsizetype i = options.columns.size(); i < fields.size(); ++i)
        if (!fields[i].isEmpty())
            throw ExchangeError(0, measuredReason(Kind::ExtraColumn, i + 1, options.columns.size()));
    const auto mapped = std::count_if(options.columns.begin(), options.columns.end(), [](Column c) { return c != Column::Skip; });
    if (fields.size() == 1 && mapped > 1) {
        Reason r = reasonOf(Kind::NoDelimiter);
        r.character = options.delimiter;
        throw ExchangeError(0, r);
    }
}

jsonl::Record recordOf(const QStringList &fields, const Options &options)
{
    checkCells(fields, options);
    jsonl::Record r;
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
        if (const std::optional<Reason> problem = jsonl::keywordProblem(r.entry.Heading))
            throw ExchangeError(0, *problem);
        r.keywords.append(r.entry.Heading);
    }
    if (r.keywords.isEmpty())
        throw ExchangeError(0, reasonOf(Kind::NoKeywordOrHeading));
    r.textConverted = storePlainText(r.entry, body, options.limits.textFallback);
    if (r.entry.Document.size() > options.limits.maxBodyBytes)
        throw ExchangeError(0, measuredReason(Kind::BodyTooLarge, r.entry.Document.size(), options.limits.maxBodyBytes));
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
            row = Row{};
            row.line = m_rows.rowLine();
            if (m_rows.problem()) {
                row.line = m_rows.problemLine();
                row.problem = m_rows.problem();
                return true;
            }
            try {
                row.record = recordOf(fields, m_options);
            } catch (const ExchangeError &e) {
                row.problem = e.reason();
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
    explicit HeadingCheck(store::DictionaryStorage &dictionary)
        : m_dictionary(dictionary)
    {
    }
    // True when the heading was stored before or taken already by this import.
    bool seen(const QString &heading)
    {
        if (m_taken.contains(heading))
            return true;
        m_taken.insert(heading);
        return m_dictionary.headingExists(heading);
    }

private:
    store::DictionaryStorage &m_dictionary;
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

EncodingGuess guessEncoding(QIODevice &in)
{
    const KeepPosition kept(in);
    if (in.peek(Bom.size()) == Bom)
        return {Encoding::Utf8, 0};
    QByteArray pending; // the start of a character that the block cut off
    LineCount lines;
    for (;;) {
        const QByteArray block = in.read(1024 * 1024);
        const QByteArray bytes = pending + block;
        const text::Utf8Check check = text::checkUtf8(bytes);
        lines.count(QByteArrayView(bytes).first(check.validEnd));
        // A character cut off by the end of the file is not UTF-8 either.
        if (check.invalidAt >= 0 || (block.isEmpty() && check.validEnd < bytes.size()))
            return {Encoding::Cp932, lines.current()};
        if (block.isEmpty())
            return {Encoding::Utf8, 0};
        pending = bytes.sliced(check.validEnd);
    }
}

Encoding detectEncoding(QIODevice &in)
{
    return guessEncoding(in).encoding;
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

qint64 importWordList(QIODevice &in, store::DictionaryStorage &dictionary, const Options &options, ImportTally *tally)
{
    const qint64 total = in.size();
    RecordReader reader(in, options);
    BulkImport bulk(dictionary, BulkImport::Numbers::New);
    std::optional<HeadingCheck> duplicates;
    if (options.duplicates == Duplicates::Skip)
        duplicates.emplace(dictionary);
    qint64 rows = 0;
    ImportTally counts;
    Row row;
    // Every row is read: the import stops with all the rows it refuses, not the first.
    ProblemList problems;
    const auto nextRow = [&] { return problems.readNext(reader, row); };
    const qint64 added = bulk.run([&](jsonl::Record &record, qint64 &line) {
        while (nextRow()) {
            if (++rows % ProgressEvery == 0 && !store::reportProgress(options.progress, reader.bytesRead(), total))
                throw ExchangeError(0, reasonOf(Kind::ImportCancelled));
            if (row.problem)
                problems.add(row.line, *row.problem);
            if (!problems.isEmpty())
                continue; // nothing more is stored, the rest is only checked
            if (duplicates && duplicates->seen(row.record.entry.Heading)) {
                ++counts.skipped;
                continue;
            }
            countConverted(counts, row.record);
            record = std::move(row.record);
            line = row.line;
            return true;
        }
        problems.throwIfAny();
        return false;
    });
    store::reportProgress(options.progress, total, total);
    counts.added = added;
    if (tally)
        *tally = counts;
    return added;
}

} // namespace qm::exchange::wordlist
