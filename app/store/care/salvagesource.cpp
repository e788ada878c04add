#include "app/store/care/salvagesource.h"

#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/sqlite/error.h"
#include "platform/text/fold.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace qm::store::salvage {

std::optional<QDateTime> storedDate(const QString &text)
{
    if (text.size() != 19 || text[10] != QLatin1Char(' '))
        return std::nullopt;
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    const QDateTime stored(date, time, Qt::UTC);
    if (!stored.isValid() || stored.toString(QString::fromLatin1(schema::DateFormat)) != text)
        return std::nullopt;
    return stored;
}

bool keyIntact(const QString &key, const QString &heading)
{
    // A key folded by an earlier version of the fold may differ from today's; it still holds
    // none of the characters a zeroed or overwritten page gives.
    return key == text::fold(heading)
           || std::none_of(key.cbegin(), key.cend(), [](QChar c) {
                  return c == QChar(u'\0') || c == QChar(u'\x7f') || c == QChar::ReplacementCharacter;
              });
}

namespace {

constexpr qsizetype HeaderSize = 100;
constexpr quint8 TableLeaf = 0x0D;
constexpr quint8 TableInterior = 0x05;
constexpr quint8 IndexLeaf = 0x0A;
constexpr quint8 IndexInterior = 0x02;
// Deeper than any tree of a file the engine can hold: a path longer than this goes round.
constexpr int MaxDepth = 40;
// The longest row taken: the largest body and room for the other fields.
constexpr quint64 MaxPayload = quint64(MaxBodyBytes) + 1024 * 1024;
// A row of ours has six columns at most; a header of more is no row of ours.
constexpr std::size_t MaxColumns = 16;
// The part of the file read to find the page size when the header is gone.
constexpr qint64 SampleBytes = qint64(4) * 1024 * 1024;

quint32 be16(const QByteArray &b, qsizetype at)
{
    return (quint32(quint8(b[at])) << 8) | quint8(b[at + 1]);
}

quint32 be32(const QByteArray &b, qsizetype at)
{
    return (be16(b, at) << 16) | be16(b, at + 2);
}

// Reads a variable-length integer at `pos`, never past `end`; false when it would run past.
bool readVarint(const QByteArray &b, qsizetype end, qsizetype &pos, quint64 &value)
{
    value = 0;
    for (int i = 0; i < 9; ++i) {
        if (pos >= end)
            return false;
        const quint8 byte = quint8(b[pos++]);
        if (i == 8) {
            value = (value << 8) | byte;
            return true;
        }
        value = (value << 7) | (byte & 0x7f);
        if (!(byte & 0x80))
            return true;
    }
    return true;
}

// One value of a row.
struct Value {
    enum class Kind { Null, Integer, Real, Text, Blob } kind = Kind::Null;
    qint64 integer = 0;
    QByteArray bytes;
};

bool isInteger(quint64 type)
{
    return (type >= 1 && type <= 6) || type == 8 || type == 9;
}
bool isText(quint64 type)
{
    return type >= 13 && type % 2 == 1;
}
bool isBytes(quint64 type)
{
    return type >= 12;
}

// The bytes a value of a serial type takes; nullopt for the types no row holds.
std::optional<quint64> valueSize(quint64 type)
{
    static constexpr quint64 Fixed[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
    if (type < 10)
        return Fixed[type];
    if (type < 12)
        return std::nullopt;
    return (type - 12) / 2;
}

// A row's serial types, and where its values start; nullopt when its header does not read
// within `available` bytes.
struct RecordHeader {
    std::vector<quint64> types;
    qsizetype valuesAt = 0;
};

std::optional<RecordHeader> readHeader(const QByteArray &payload, qsizetype available)
{
    qsizetype pos = 0;
    quint64 size = 0;
    if (!readVarint(payload, available, pos, size) || size > quint64(available) || size < quint64(pos))
        return std::nullopt;
    RecordHeader header;
    header.valuesAt = qsizetype(size);
    while (pos < header.valuesAt) {
        quint64 type = 0;
        if (header.types.size() == MaxColumns || !readVarint(payload, header.valuesAt, pos, type) || !valueSize(type))
            return std::nullopt;
        header.types.push_back(type);
    }
    return header;
}

// The values of a whole row; nullopt when they do not fit in it.
std::optional<std::vector<Value>> readValues(const QByteArray &payload, const RecordHeader &header)
{
    std::vector<Value> values;
    quint64 pos = quint64(header.valuesAt);
    for (const quint64 type : header.types) {
        const quint64 size = *valueSize(type);
        if (size > quint64(payload.size()) - pos)
            return std::nullopt;
        Value v;
        if (isBytes(type)) {
            v.kind = isText(type) ? Value::Kind::Text : Value::Kind::Blob;
            v.bytes = payload.mid(qsizetype(pos), qsizetype(size));
        } else if (type == 7) {
            v.kind = Value::Kind::Real;
        } else if (type != 0) {
            v.kind = Value::Kind::Integer;
            v.integer = type == 9 ? 1 : 0;
            for (quint64 k = 0; k < size; ++k)
                v.integer = qint64((quint64(v.integer) << 8) | quint8(payload[qsizetype(pos + k)]));
            // Sign-extend from the value's width.
            if (size > 0 && size < 8 && (quint8(payload[qsizetype(pos)]) & 0x80))
                v.integer = qint64(quint64(v.integer) | (~quint64(0) << (8 * size)));
        }
        pos += size;
        values.push_back(std::move(v));
    }
    return values;
}

enum class Table { None, Document, Keyword, Property };

// The table a row belongs to, by the kinds of its values.
Table tableOf(const std::vector<quint64> &t)
{
    const auto textOrNull = [](quint64 type) { return type == 0 || isText(type); };
    if ((t.size() == 5 || t.size() == 6) && t[0] == 0 && isInteger(t[1]) && textOrNull(t[2])
        && (t[3] == 0 || isBytes(t[3])) && textOrNull(t[4]) && (t.size() == 5 || textOrNull(t[5])))
        return Table::Document;
    if (t.size() == 3 && isText(t[0]) && isInteger(t[1]) && isText(t[2]))
        return Table::Keyword;
    if (t.size() == 3 && isText(t[0]) && isText(t[1]) && t[2] != 7)
        return Table::Property;
    return Table::None;
}

QString text(const Value &v)
{
    return QString::fromUtf8(v.bytes);
}

Error cancelled()
{
    return Error(Error::Kind::Cancelled);
}

} // namespace

// The file read page by page, with the page size in use.
class PageFile final
{
public:
    explicit PageFile(const QString &path)
        : m_file(path)
    {
        if (!m_file.open(QIODevice::ReadOnly))
            throw Error(Error::Kind::Unreadable, path);
        // The damaged file is not written while it is read: its size is taken once, not per page.
        m_size = m_file.size();
    }

    void setPageSize(qint64 size, qint64 usable)
    {
        m_pageSize = size;
        m_usable = usable;
        renewOverflowBudget();
    }
    // Overflow pages may be read about twice per page of the file in each pass over it: a
    // hostile file whose cells share one long chain gives up those cells instead of reading
    // for ever.
    void renewOverflowBudget() { m_overflowBudget = 2 * pageCount() + 16; }
    qint64 pageSize() const { return m_pageSize; }
    qint64 usable() const { return m_usable; }
    // Whole pages only: a page cut short is not read.
    qint64 pageCount() const { return m_pageSize > 0 ? m_size / m_pageSize : 0; }
    qint64 fileSize() const { return m_size; }

    // The page's bytes up to its usable end; empty when past the end or the read fails.
    QByteArray page(qint64 number)
    {
        if (number < 1 || number > pageCount() || !m_file.seek((number - 1) * m_pageSize))
            return {};
        QByteArray bytes = m_file.read(m_usable);
        return bytes.size() == m_usable ? bytes : QByteArray();
    }

    // The bytes of `count` bytes starting at `at`, or empty.
    QByteArray bytes(qint64 at, qint64 count)
    {
        if (!m_file.seek(at))
            return {};
        QByteArray b = m_file.read(count);
        return b.size() == count ? b : QByteArray();
    }

    // The first page's offset of its tree header: past the file header when there is one.
    qsizetype treeHeaderAt(qint64 number) const { return number == 1 && m_hasHeader ? HeaderSize : 0; }
    void setHasHeader(bool has) { m_hasHeader = has; }

    bool spendOverflow()
    {
        return m_overflowBudget-- > 0;
    }

private:
    QFile m_file;
    qint64 m_size = 0;
    qint64 m_pageSize = 0;
    qint64 m_usable = 0;
    qint64 m_overflowBudget = 0;
    bool m_hasHeader = false;
};

namespace {

// A cell of a table leaf page: its row number and its row, whole or only the part on the page.
struct Cell {
    qint64 rowid = 0;
    QByteArray payload;
    qsizetype onPage = 0;
    bool whole = false;
    // The row's size, and the first page of the rest of it.
    quint64 size = 0;
    quint32 overflow = 0;
};

// The part of a row of `size` bytes kept on a table leaf (or an index) page of `usable` bytes.
quint64 localSize(quint64 size, quint64 usable, bool table)
{
    const quint64 most = table ? usable - 35 : (usable - 12) * 64 / 255 - 23;
    if (size <= most)
        return size;
    const quint64 least = (usable - 12) * 32 / 255 - 23;
    const quint64 k = least + (size - least) % (usable - 4);
    return k <= most ? k : least;
}

// Follows the overflow chain from `next`, appending to `payload` until it holds `size` bytes.
bool readOverflow(PageFile &file, quint32 next, quint64 size, QByteArray &payload)
{
    const qsizetype room = qsizetype(file.usable() - 4);
    while (quint64(payload.size()) < size) {
        if (next < 2 || next > file.pageCount() || !file.spendOverflow())
            return false;
        const QByteArray page = file.page(next);
        if (page.isEmpty())
            return false;
        const qsizetype take = qsizetype(std::min<quint64>(quint64(room), size - quint64(payload.size())));
        payload.append(page.constData() + 4, take);
        next = be32(page, 0);
    }
    // The last page of a chain links to no other.
    return next == 0;
}

// Reads the part of a cell's row kept on overflow pages, once; false when the chain does not
// give it whole.
bool readRest(PageFile &file, Cell &cell)
{
    if (!cell.whole && cell.overflow != 0) {
        cell.whole = cell.size <= MaxPayload && readOverflow(file, cell.overflow, cell.size, cell.payload);
        cell.overflow = 0;
    }
    return cell.whole;
}

// The row number of cell `index` of a table leaf page; nullopt when it does not lie in the page.
std::optional<qint64> cellRowid(const QByteArray &page, qsizetype at, int index)
{
    qsizetype pos = qsizetype(be16(page, at + 8 + 2 * index));
    quint64 size = 0;
    quint64 rowid = 0;
    if (pos >= page.size() || !readVarint(page, page.size(), pos, size) || !readVarint(page, page.size(), pos, rowid))
        return std::nullopt;
    return qint64(rowid);
}

// The cell `index` of a table leaf page, or an index page, of `type` whose tree header is at `at`;
// nullopt when the cell does not lie in the page. An index cell has no row number (0).
std::optional<Cell> readCell(PageFile &file, const QByteArray &page, qsizetype at, int index, quint8 type = TableLeaf,
                             bool rest = true)
{
    const bool table = type == TableLeaf;
    const qsizetype header = type == IndexInterior ? 12 : 8;
    const qsizetype cellsEnd = at + header + 2 * qsizetype(be16(page, at + 3));
    const qsizetype pointer = at + header + 2 * index;
    const qsizetype usable = page.size();
    // An interior cell starts with its left child's page number.
    qsizetype pos = qsizetype(be16(page, pointer)) + (type == IndexInterior ? 4 : 0);
    if (pos < cellsEnd || pos >= usable)
        return std::nullopt;
    quint64 size = 0;
    quint64 rowid = 0;
    if (!readVarint(page, usable, pos, size) || (table && !readVarint(page, usable, pos, rowid)))
        return std::nullopt;
    Cell cell;
    cell.rowid = qint64(rowid);
    const quint64 local = localSize(size, quint64(usable), table);
    if (local > quint64(usable - pos) || (local < size && quint64(usable - pos) - local < 4))
        return std::nullopt;
    cell.payload = page.mid(pos, qsizetype(local));
    cell.onPage = qsizetype(local);
    cell.size = size;
    cell.whole = local == size;
    if (!cell.whole)
        cell.overflow = be32(page, pos + qsizetype(local));
    if (rest)
        readRest(file, cell);
    return cell;
}

// The number of cells of a table page of `type` whose header is at `at`; 0 when it is no such
// page or its cell pointers do not fit in it.
int cellCount(const QByteArray &page, qsizetype at, quint8 type)
{
    const qsizetype header = type == TableLeaf || type == IndexLeaf ? 8 : 12;
    if (page.size() < at + header || quint8(page[at]) != type)
        return 0;
    const qsizetype cells = qsizetype(be16(page, at + 3));
    return at + header + 2 * cells <= page.size() ? int(cells) : 0;
}

int leafCells(const QByteArray &page, qsizetype at)
{
    return cellCount(page, at, TableLeaf);
}

// The child of an interior table page under which `rowid` lies; 0 when the page does not say.
qint64 childFor(const QByteArray &page, qsizetype at, qint64 rowid)
{
    const int cells = cellCount(page, at, TableInterior);
    if (cells == 0)
        return 0;
    for (int i = 0; i < cells; ++i) {
        qsizetype pos = qsizetype(be16(page, at + 12 + 2 * i));
        quint64 key = 0;
        if (pos + 4 > page.size())
            return 0;
        const qint64 child = be32(page, pos);
        pos += 4;
        if (!readVarint(page, page.size(), pos, key))
            return 0;
        if (rowid <= qint64(key))
            return child;
    }
    return be32(page, at + 8);
}

// The rows of ours a page holds, whole ones only; for telling page sizes apart.
int rowsOfOurs(PageFile &file, const QByteArray &page, qsizetype at)
{
    int rows = 0;
    for (int i = 0, n = leafCells(page, at); i < n; ++i) {
        const std::optional<Cell> cell = readCell(file, page, at, i);
        if (!cell || !cell->whole)
            continue;
        const std::optional<RecordHeader> header = readHeader(cell->payload, cell->payload.size());
        rows += header && tableOf(header->types) != Table::None && readValues(cell->payload, *header) ? 1 : 0;
    }
    return rows;
}

// The page size from the file header, when the header is there and sound; the usable size too.
bool sizeFromHeader(PageFile &file)
{
    const QByteArray header = file.bytes(0, HeaderSize);
    if (header.size() != HeaderSize || !header.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return false;
    const qint64 field = be16(header, 16);
    const qint64 size = field == 1 ? 65536 : field;
    const qint64 usable = size - quint8(header[20]);
    if (size < 512 || size > 65536 || (size & (size - 1)) != 0 || usable < 480)
        return false;
    file.setPageSize(size, usable);
    file.setHasHeader(true);
    return true;
}

// Tries each page size on the start of the file and keeps the one under which most rows of
// ours read whole; false when none reads any.
bool guessPageSize(PageFile &file)
{
    qint64 best = 0;
    int bestRows = 0;
    for (qint64 size = 512; size <= 65536; size *= 2) {
        file.setPageSize(size, size);
        const qint64 pages = std::min(file.pageCount(), std::max<qint64>(SampleBytes / size, 1));
        int rows = 0;
        for (qint64 p = 1; p <= pages; ++p)
            rows += rowsOfOurs(file, file.page(p), 0);
        if (rows > bestRows) {
            best = size;
            bestRows = rows;
        }
    }
    if (best == 0)
        return false;
    file.setPageSize(best, best);
    return true;
}

// The pages the header lists as free: their rows were deleted.
QSet<qint64> freePages(PageFile &file)
{
    QSet<qint64> pages;
    const QByteArray header = file.bytes(0, HeaderSize);
    qint64 trunk = be32(header, 32);
    const qint64 most = file.pageCount();
    const qsizetype perTrunk = qsizetype(file.usable() / 4 - 2);
    while (trunk >= 2 && trunk <= most && !pages.contains(trunk) && pages.size() <= most) {
        pages.insert(trunk);
        const QByteArray page = file.page(trunk);
        if (page.isEmpty())
            break;
        const qsizetype leaves = std::min<qsizetype>(qsizetype(be32(page, 4)), perTrunk);
        for (qsizetype i = 0; i < leaves; ++i)
            pages.insert(be32(page, 8 + 4 * i));
        trunk = be32(page, 0);
    }
    return pages;
}

// An entry from the values of its row; nullopt when it holds what no entry can hold.
std::optional<ReadEntry> entryOf(qint64 number, const std::vector<Value> &v)
{
    if (number < 1 || number > std::numeric_limits<qint32>::max() || v[1].kind != Value::Kind::Integer
        || !isViewerCode(int(std::clamp<qint64>(v[1].integer, -1, 256))) || v[3].bytes.size() > MaxBodyBytes)
        return std::nullopt;
    ReadEntry read;
    read.entry.DocumentNumber = qint32(number);
    read.entry.Viewer = quint8(v[1].integer);
    read.entry.Heading = text(v[2]);
    read.entry.Document = v[3].bytes;
    read.complete = v[2].kind == Value::Kind::Text && v[3].kind != Value::Kind::Null
                    && (v.size() < 6 || keyIntact(text(v[5]), read.entry.Heading));
    // An entry without a date has an empty text there (or NULL).
    if (v[4].kind != Value::Kind::Null && !v[4].bytes.isEmpty()) {
        const std::optional<QDateTime> date = storedDate(text(v[4]));
        read.entry.RenewalDate = date.value_or(QDateTime());
        read.complete = read.complete && date.has_value();
    }
    return read;
}

QVariant propertyValue(const Value &v)
{
    if (v.kind == Value::Kind::Integer)
        return QVariant(v.integer);
    return v.kind == Value::Kind::Text ? QVariant(text(v)) : QVariant();
}

} // namespace

PageScan::PageScan(const QString &path, const Progress &progress, Scope scope)
    : m_file(std::make_unique<PageFile>(path))
    , m_scope(scope)
{
    // The header's page size is checked against the pages: a damaged header may give another.
    const bool header = sizeFromHeader(*m_file);
    const qint64 headerSize = m_file->pageSize();
    const bool guessed = guessPageSize(*m_file);
    if (header && (!guessed || m_file->pageSize() == headerSize)) {
        sizeFromHeader(*m_file);
        scanPages(freePages(*m_file), progress);
    } else if (guessed) {
        m_file->setHasHeader(false);
        scanPages({}, progress);
    }
}

void PageScan::scanPages(const QSet<qint64> &skipped, const Progress &progress)
{
    const qint64 pages = m_file->pageCount();
    for (qint64 p = 1; p <= pages; ++p) {
        if (!skipped.contains(p))
            scanPage(p);
        if (p % 256 == 0 && !reportProgress(progress, p, pages))
            throw cancelled();
    }
    // The entries are read once more when they are written.
    m_file->renewOverflowBudget();
}

PageScan::~PageScan() = default;

void PageScan::scanPage(qint64 number)
{
    const QByteArray page = m_file->page(number);
    const qsizetype at = m_file->treeHeaderAt(number);
    const quint8 type = page.size() > at ? quint8(page[at]) : 0;
    if (type == IndexLeaf || type == IndexInterior)
        scanKeywordIndex(page, at, type);
    else if (type == TableLeaf)
        scanTableLeaf(number, page, at);
}

void PageScan::scanKeywordIndex(const QByteArray &page, qsizetype at, quint8 type)
{
    // Pairs of numbers may be keyword rows by entry number, or entries by viewer type; a page of
    // the latter holds viewer codes only.
    std::vector<std::pair<qint64, qint64>> pairs;
    bool onlyViewerCodes = true;
    for (int i = 0, n = cellCount(page, at, type); i < n; ++i) {
        const std::optional<Cell> cell = readCell(*m_file, page, at, i, type);
        const std::optional<RecordHeader> header =
            cell && cell->whole ? readHeader(cell->payload, cell->onPage) : std::nullopt;
        const std::optional<std::vector<Value>> values = header ? readValues(cell->payload, *header) : std::nullopt;
        const std::vector<quint64> *t = values ? &header->types : nullptr;
        // The keyword index holds every column of a keyword row and its row number.
        if (t && t->size() == 4 && isText((*t)[0]) && isInteger((*t)[1]) && isText((*t)[2]) && isInteger((*t)[3]))
            m_indexedKeywords.emplace((*values)[3].integer, KeywordRow{(*values)[1].integer, text((*values)[2])});
        if (t && t->size() == 2 && isInteger((*t)[0]) && isInteger((*t)[1])) {
            pairs.emplace_back((*values)[1].integer, (*values)[0].integer);
            onlyViewerCodes = onlyViewerCodes && isViewerCode(int(std::clamp<qint64>((*values)[0].integer, -1, 256)));
        }
    }
    if (!onlyViewerCodes)
        m_keywordOwners.insert(pairs.begin(), pairs.end());
}

void PageScan::scanTableLeaf(qint64 number, const QByteArray &page, qsizetype at)
{
    for (int i = 0, n = leafCells(page, at); i < n; ++i) {
        // The row's kind shows in the part on the page; the rest is read only for the rows wanted.
        std::optional<Cell> cell = readCell(*m_file, page, at, i, TableLeaf, false);
        if (!cell)
            continue;
        const std::optional<RecordHeader> header = readHeader(cell->payload, cell->onPage);
        const Table table = header ? tableOf(header->types) : Table::None;
        if (table == Table::None || (table == Table::Document && m_scope == Scope::Keywords))
            continue;
        const std::optional<std::vector<Value>> values =
            readRest(*m_file, *cell) ? readValues(cell->payload, *header) : std::nullopt;
        if (table == Table::Document) {
            // The first copy of a row that reads whole is the one kept.
            CellAt &at = m_entries[cell->rowid];
            if (at.page == 0 && values)
                at = {number, i};
        } else if (table == Table::Keyword && values && !m_keywords.count(cell->rowid)) {
            m_keywords.emplace(cell->rowid, KeywordRow{(*values)[1].integer, text((*values)[0])});
        } else if (table == Table::Property && values && !m_properties.contains(text((*values)[0]))) {
            m_properties.insert(text((*values)[0]), propertyValue((*values)[2]));
        }
    }
}

std::vector<qint64> PageScan::entryNumbers()
{
    std::vector<qint64> numbers;
    numbers.reserve(m_entries.size());
    for (const auto &[number, at] : m_entries)
        numbers.push_back(number);
    return numbers;
}

std::vector<qint64> PageScan::keywordRows()
{
    std::vector<qint64> rows;
    rows.reserve(m_keywords.size() + m_indexedKeywords.size());
    for (const auto &[row, keyword] : m_keywords)
        rows.push_back(row);
    for (const auto &[row, keyword] : m_indexedKeywords)
        rows.push_back(row);
    for (const auto &[row, owner] : m_keywordOwners)
        rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

const PageScan::KeywordRow *PageScan::keywordRow(qint64 row) const
{
    if (const auto it = m_keywords.find(row); it != m_keywords.end())
        return &it->second;
    const auto it = m_indexedKeywords.find(row);
    return it == m_indexedKeywords.end() ? nullptr : &it->second;
}

std::optional<qint64> PageScan::keywordOwner(qint64 row)
{
    if (const KeywordRow *found = keywordRow(row))
        return found->owner;
    const auto it = m_keywordOwners.find(row);
    return it == m_keywordOwners.end() ? std::nullopt : std::optional<qint64>(it->second);
}

std::optional<QString> PageScan::keyword(qint64 row)
{
    const KeywordRow *found = keywordRow(row);
    return found ? found->text : std::nullopt;
}

namespace {

// The entry in cell `index` of a table leaf page, when it reads whole as an entry.
std::optional<ReadEntry> entryInCell(PageFile &file, qint64 pageNumber, int index, qint64 number)
{
    const QByteArray page = file.page(pageNumber);
    const qsizetype at = file.treeHeaderAt(pageNumber);
    if (index >= leafCells(page, at))
        return std::nullopt;
    const std::optional<Cell> cell = readCell(file, page, at, index);
    const std::optional<RecordHeader> header =
        cell && cell->whole && cell->rowid == number ? readHeader(cell->payload, cell->onPage) : std::nullopt;
    if (!header || tableOf(header->types) != Table::Document)
        return std::nullopt;
    const std::optional<std::vector<Value>> values = readValues(cell->payload, *header);
    return values ? entryOf(number, *values) : std::nullopt;
}

} // namespace

std::optional<ReadEntry> PageScan::entry(qint64 number)
{
    const auto it = m_entries.find(number);
    if (it == m_entries.end() || it->second.page == 0)
        return std::nullopt;
    return entryInCell(*m_file, it->second.page, it->second.index, number);
}

TreeReader::TreeReader(const QString &path)
    : m_file(std::make_unique<PageFile>(path))
    , m_readable(sizeFromHeader(*m_file))
{
}

TreeReader::~TreeReader() = default;

bool TreeReader::readable() const
{
    return m_readable;
}

qint64 TreeReader::largestLocalRow() const
{
    return m_file->usable() - 35;
}

std::optional<ReadEntry> TreeReader::entry(qint64 root, qint64 number)
{
    qint64 pageNumber = root;
    for (int depth = 0; m_readable && depth < MaxDepth && pageNumber > 0; ++depth) {
        const QByteArray page = m_file->page(pageNumber);
        const qsizetype at = m_file->treeHeaderAt(pageNumber);
        if (page.size() > at && quint8(page[at]) == TableLeaf) {
            for (int i = 0, n = leafCells(page, at); i < n; ++i)
                if (cellRowid(page, at, i) == number)
                    return entryInCell(*m_file, pageNumber, i, number);
            return std::nullopt;
        }
        pageNumber = childFor(page, at, number);
    }
    return std::nullopt;
}

std::optional<QVariant> PageScan::property(const QString &name)
{
    const auto it = m_properties.constFind(name);
    return it == m_properties.cend() ? std::nullopt : std::optional<QVariant>(*it);
}

} // namespace qm::store::salvage
