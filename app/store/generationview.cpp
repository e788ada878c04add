#include "generationview.h"

#include "platform/sqlite/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace qm::store {

namespace {

sqlite::Error cannotOpen(const QString &path, const QString &why)
{
    return sqlite::Error(sqlite::Error::Kind::General, SQLITE_CANTOPEN,
                         QStringLiteral("バックアップ %1 を開けません: %2").arg(QDir::toNativeSeparators(path), why));
}

// Bytes 18 and 19 of a database file's header are 2 in write-ahead-log mode.
bool inWalMode(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && (header[18] == 2 || header[19] == 2);
}

Dictionary::Options readOnly()
{
    Dictionary::Options options;
    options.readOnly = true;
    return options;
}

} // namespace

GenerationView::GenerationView(const QString &path)
{
    if (!QFileInfo(path).isFile())
        throw cannotOpen(path, QStringLiteral("ファイルが見つかりません"));
    if (inWalMode(path))
        throw cannotOpen(path, QStringLiteral("辞書のバックアップではありません"));
    m_dictionary = std::make_unique<Dictionary>(path, readOnly());
}

GenerationView::~GenerationView() = default;

std::vector<HeadingRow> GenerationView::headings(int limit, bool *more)
{
    HeadingList list(*m_dictionary, HeadingList::Order::Entry, false);
    std::vector<HeadingRow> rows;
    while (!list.atEnd() && int(rows.size()) < limit) {
        std::vector<HeadingRow> batch = list.next(qMin(500, limit - int(rows.size())));
        rows.insert(rows.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    }
    if (more)
        *more = !list.atEnd() && !list.next(1).empty();
    return rows;
}

std::optional<GenerationView::Details> GenerationView::details(qint32 number)
{
    std::optional<Entry> entry = m_dictionary->document(number);
    if (!entry)
        return std::nullopt;
    return Details{std::move(*entry), m_dictionary->keywords(number)};
}

} // namespace qm::store
