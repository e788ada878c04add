#pragma once

#include "entry.h"

#include "platform/sqlite/database.h"

#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

namespace qm::sqlite {
class LikePattern;
class Statement;
}

namespace qm::store {

// One open dictionary file. Opening checks that the file is a dictionary (its schema is ours)
// without reading its rows, so opening stays as fast for a large file as for a small one.
class Dictionary final
{
public:
    // Opens the file read-write; throws sqlite::Error (Kind::FolderMissing when the folder of
    // the path does not exist, Kind::NotDictionary when the file is another database).
    explicit Dictionary(const QString &path);
    ~Dictionary();
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;

    // Makes a new, empty dictionary; throws sqlite::Error. An existing file is never
    // overwritten. A file left half-made by a failure is removed again.
    static void CreateDictionary(const QString &fileName, const QString &dictionaryName,
                                 const QString &author, const QString &comment,
                                 const std::array<bool, 3> &locks);

    // True when the file is a sound dictionary: it opens, its schema is ours, it passes the
    // engine's quick check and it carries the marker property. Never throws.
    static bool IsDictionaryFile(const QString &fileName);

    const QString &path() const { return m_db.path(); }
    sqlite::Database &database() { return m_db; }

    // Custom properties: text (QString), Boolean (bool), 32-bit integer (int). Reading or
    // writing a property that does not exist throws.
    QVariant property(const QString &name);
    void setProperty(const QString &name, const QVariant &value);

    // The entry with this number, or nullopt when there is none.
    std::optional<Entry> document(qint32 documentNumber);

    // Adds an entry and its keywords in one transaction and returns its new number.
    qint32 addEntry(const Entry &entry, const QStringList &keywords);
    // Adds many entries in one transaction (for imports and generated test data).
    struct NewEntry {
        Entry entry;
        QStringList keywords;
    };
    void addEntries(const std::vector<NewEntry> &entries);
    // Deletes an entry; its keywords go with it.
    void deleteEntry(qint32 documentNumber);

    // Keyword rows matching the pattern, in keyword order, at most `limit`; each is handed to
    // the sink. Returns the number of rows handed over.
    int searchKeyword(const sqlite::LikePattern &pattern, int limit,
                      const std::function<void(const KeywordMatch &)> &sink);

    // The statement a keyword lookup runs for this pattern (parameters: ?1 and ?2 the range of
    // folded keys, ?3 the pattern, ?4 the row limit; each present only where the pattern needs it).
    static const char *keywordLookupSql(const sqlite::LikePattern &pattern);

    qint64 indexRowCount();
    qint64 documentRowCount();

private:
    void insertEntry(const Entry &entry, const QStringList &keywords, qint32 &number);
    // A statement prepared once per connection for a fixed SQL text, reset after every use.
    sqlite::Statement &cachedStatement(const char *sql);

    sqlite::Database m_db;
    // Declared after the connection, so the statements are finalised before it closes.
    std::unordered_map<const char *, std::unique_ptr<sqlite::Statement>> m_statements;
};

} // namespace qm::store
