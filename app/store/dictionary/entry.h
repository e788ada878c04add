#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace qm::store {

// The largest entry body the program reads or writes. A larger one (from another program, or
// a damaged file) is refused with a message instead of being loaded into memory.
constexpr qint64 MaxBodyBytes = qint64(128) * 1024 * 1024;
// The same, for SQL.
#define QM_MAX_BODY_BYTES "134217728"
static_assert(MaxBodyBytes == 134217728, "QM_MAX_BODY_BYTES names MaxBodyBytes");

// One row of Document: an entry with its body bytes as stored (CP932 text for types 1 to 4,
// the object container's image for type 5).
struct Entry {
    qint32 DocumentNumber = 0;
    quint8 Viewer = 0;
    QString Heading;
    QByteArray Document;
    QDateTime RenewalDate;
    // The visible text of a rich-text body, when the writer has it already (the editor that
    // made the RTF); null, the store reads it from the body. Never read back from a file.
    QString VisibleText;
};

// One keyword row of a lookup, with the heading and type of its entry.
struct KeywordMatch {
    QString Index;
    QString Heading;
    quint8 Viewer = 0;
    qint32 DocumentNumber = 0;
};

// What the caller of a lookup reads of its rows. A list shows heading and type only, which the
// heading index holds densely. When every row's body is read next, the heading is read from the
// entry itself: its page is then read once, for both, instead of a heading index page as well.
enum class RowUse { List, WithBodies };

} // namespace qm::store
