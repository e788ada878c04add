#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <string>
#include <vector>

namespace qm::store {

class Dictionary;
class DictionaryFile;

// The key headings are listed by wherever the program lists them (the heading grid, the result
// list's narrowing): the folded key the store sorts keywords and headings by, compared by code
// point as the dictionary's indexes compare it, then the heading's own code points so that equal
// keys still come out in one order.
std::u32string headingOrderKey(QStringView heading);

// One line of the heading grid: an entry with the name of its type.
struct HeadingRow {
    qint32 DocumentNumber = 0;
    QString Heading;
    quint8 Viewer = 0;
    QString ViewerType; // the stored name ("<ﾃｷｽﾄ>" ...)
    QDateTime RenewalDate;
};

// The orders a heading list can come in.
enum class HeadingOrder { Entry, Heading, Viewer, RenewalDate };

// The entries of a dictionary for the heading grid, read a batch at a time.
class HeadingCursor
{
public:
    virtual ~HeadingCursor() = default;
    // The next rows, at most `count`; fewer only at the end. Throws sqlite::Error.
    virtual std::vector<HeadingRow> next(int count) = 0;
    virtual bool atEnd() const = 0;
};

// The entries of a dictionary file for the heading grid, read a batch at a time in the order the
// grid shows: by entry number, or by heading (ignoring case, width and kana, as keywords are
// compared), viewer type number or renewal date, with the entry number after equal values.
// Each batch is one statement that starts after the last row read, through an index, so the
// first batch of a dictionary of a million entries comes as fast as of a hundred, and nothing
// stays open on the file between batches. Entries whose type has no row in ViewerType are not
// listed.
class HeadingList final : public HeadingCursor
{
public:
    using Order = HeadingOrder;

    HeadingList(DictionaryFile &file, Order order, bool descending);
    HeadingList(Dictionary &dictionary, Order order, bool descending);

    std::vector<HeadingRow> next(int count) override;
    bool atEnd() const override { return m_stage == Stage::Done; }

private:
    // Entries without a renewal date (another program may leave it out) come first in
    // ascending order and last in descending order, read as a group of their own.
    enum class Stage { Values, Nulls, Done };

    std::vector<HeadingRow> read(Stage stage, int count);
    void advance();

    DictionaryFile &m_file;
    Order m_order;
    bool m_descending;
    Stage m_stage;
    bool m_started = false;      // a row of the current stage has been read
    QVariant m_lastValue;        // of the last row read in the current stage
    qint32 m_lastNumber = 0;
};

} // namespace qm::store
