#include "app/store/care/generationview.h"

#include "app/store/dictionary/storeerror.h"

#include "platform/sqlite/likepattern.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

namespace qm::store {

namespace {

// The generation is missing, or (`notBackup`) is no backup of a dictionary.
Error cannotOpen(const QString &path, bool notBackup)
{
    return Error(Error::Kind::GenerationUnopenable, path, SQLITE_CANTOPEN).withNumber(notBackup ? 1 : 0);
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
        throw cannotOpen(path, false);
    if (inWalMode(path))
        throw cannotOpen(path, true);
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

std::vector<HeadingRow> GenerationView::find(const QString &text, int limit, bool *more)
{
    const std::optional<sqlite::LikePattern> pattern = sqlite::LikePattern::compile(QString(text + QLatin1Char('*')));
    if (!pattern)
        throw Error(Error::Kind::UnreadableWord, text);
    // One more than asked tells whether there are more; an entry found under several of its
    // keywords is listed once.
    std::vector<qint32> numbers;
    QSet<qint32> seen;
    const int cap = limit * 4 + 1;
    const int handed = m_dictionary->searchKeyword(*pattern, cap, [&](const KeywordMatch &match) {
        if (!seen.contains(match.DocumentNumber) && int(numbers.size()) <= limit) {
            seen.insert(match.DocumentNumber);
            numbers.push_back(match.DocumentNumber);
        }
    });
    if (more)
        *more = int(numbers.size()) > limit || handed >= cap;
    numbers.resize(std::min(numbers.size(), std::size_t(limit)));
    std::vector<HeadingRow> rows;
    for (const qint32 number : numbers)
        if (const std::optional<Entry> entry = m_dictionary->document(number))
            rows.push_back({number, entry->Heading, entry->Viewer, {}, entry->RenewalDate});
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
