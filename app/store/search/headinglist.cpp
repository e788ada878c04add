#include "app/store/search/headinglist.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/dictionaryfile.h"
#include "app/store/dictionary/schema.h"

#include "platform/sqlite/statement.h"
#include "platform/text/fold.h"

namespace qm::store {
namespace {

// Reads a stored renewal date ("yyyy-MM-dd HH:mm:ss") without the cost of a format parser; any
// other text goes to the parser.
QDateTime parseDate(QStringView text)
{
    const auto digits = [&](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    if (text.size() == 19 && text[4] == u'-' && text[7] == u'-' && text[10] == u' ' && text[13] == u':'
        && text[16] == u':') {
        const QDate date(digits(0, 4), digits(5, 2), digits(8, 2));
        const QTime time(digits(11, 2), digits(14, 2), digits(17, 2));
        if (date.isValid() && time.isValid())
            return QDateTime(date, time);
    }
    return QDateTime::fromString(text.toString(), QString::fromLatin1(schema::DateFormat));
}

// The column an order sorts by, and the index that holds it in that order.
struct OrderColumn {
    const char *column;
    const char *index; // nullptr: the table's own order
};

OrderColumn orderColumn(HeadingList::Order order, bool withDateIndex)
{
    switch (order) {
    case HeadingList::Order::Entry: return {"d.DocumentNumber", nullptr};
    case HeadingList::Order::Heading: return {"d.HeadingKey", "Index_Heading"};
    case HeadingList::Order::Viewer: return {"d.Viewer", "Index_Viewer"};
    case HeadingList::Order::RenewalDate: return {"d.RenewalDate", withDateIndex ? "Index_RenewalDate" : nullptr};
    }
    return {"d.DocumentNumber", nullptr};
}

} // namespace

std::u32string headingOrderKey(QStringView heading)
{
    // U+0000 never occurs in a fold, and sorts before every character, so a key that is a prefix
    // of another still comes first.
    std::u32string key = text::codePoints(text::fold(heading));
    key.push_back(U'\0');
    key += text::codePoints(heading);
    return key;
}

HeadingList::HeadingList(Dictionary &dictionary, Order order, bool descending)
    : HeadingList(dictionary.file(), order, descending)
{
}

HeadingList::HeadingList(DictionaryFile &file, Order order, bool descending)
    : m_file(file)
    , m_order(order)
    , m_descending(descending && order != Order::Entry)
    // Only the renewal date may be NULL; the other columns are NOT NULL.
    , m_stage(order == Order::RenewalDate && !m_descending ? Stage::Nulls : Stage::Values)
{
}

void HeadingList::advance()
{
    m_started = false;
    m_lastValue.clear();
    m_lastNumber = 0;
    if (m_stage == Stage::Nulls)
        m_stage = m_descending ? Stage::Done : Stage::Values;
    else if (m_stage == Stage::Values)
        m_stage = m_order == Order::RenewalDate && m_descending ? Stage::Nulls : Stage::Done;
}

std::vector<HeadingRow> HeadingList::next(int count)
{
    std::vector<HeadingRow> rows;
    while (int(rows.size()) < count && m_stage != Stage::Done) {
        std::vector<HeadingRow> part = read(m_stage, count - int(rows.size()));
        const bool exhausted = int(part.size()) < count - int(rows.size());
        for (HeadingRow &r : part)
            rows.push_back(std::move(r));
        if (exhausted)
            advance();
    }
    return rows;
}

std::vector<HeadingRow> HeadingList::read(Stage stage, int count)
{
    const OrderColumn by = orderColumn(m_order, m_file.hasSearchTables());
    const QByteArray column = by.column;
    const QByteArray direction = m_descending ? " DESC" : "";
    QByteArray sql = "SELECT d.DocumentNumber, d.Heading, d.Viewer, v.ViewerType, d.RenewalDate, " + column
                     + " FROM Document AS d";
    if (by.index && stage == Stage::Values)
        sql += " INDEXED BY " + QByteArray(by.index);
    sql += " INNER JOIN ViewerType AS v ON v.ViewerNumber = d.Viewer WHERE ";
    const bool byNumber = m_order == Order::Entry || stage == Stage::Nulls;
    if (stage == Stage::Nulls)
        sql += column + " IS NULL AND ";
    if (byNumber) {
        sql += m_started ? QByteArray(m_descending ? "d.DocumentNumber < ?2" : "d.DocumentNumber > ?2") : QByteArray("1");
        sql += " ORDER BY d.DocumentNumber" + direction;
    } else {
        // A row value compares like the order, so the next batch starts in the index right
        // after the last row; it also leaves out the NULL values, which have a stage of their own.
        if (m_started)
            sql += "(" + column + ", d.DocumentNumber) " + (m_descending ? "<" : ">") + " (?1, ?2)";
        else
            sql += column + " IS NOT NULL";
        sql += " ORDER BY " + column + direction + ", d.DocumentNumber" + direction;
    }
    sql += " LIMIT ?3";

    sqlite::Statement st(m_file.database(), sql.constData());
    if (m_started) {
        if (!byNumber) {
            if (m_lastValue.typeId() == QMetaType::LongLong)
                st.bind(1, m_lastValue.toLongLong());
            else
                st.bind(1, m_lastValue.toString());
        }
        st.bind(2, m_lastNumber);
    }
    st.bind(3, count);
    std::vector<HeadingRow> rows;
    while (st.step()) {
        HeadingRow r;
        r.DocumentNumber = st.toInt(0);
        r.Heading = st.toText(1);
        r.Viewer = quint8(st.toInt(2));
        r.ViewerType = st.toText(3);
        r.RenewalDate = parseDate(st.toText(4));
        m_lastValue = m_order == Order::Viewer ? QVariant(st.toInt64(5)) : QVariant(st.toText(5));
        m_lastNumber = r.DocumentNumber;
        m_started = true;
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace qm::store
