#pragma once

#include "app/store/dictionary/dictionarystorage.h"
#include "app/store/search/dictionarysearcher.h"
#include "app/store/server/serverdictionary.h"

#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"

#include <QMap>
#include <QStringList>

#include <memory>
#include <optional>
#include <unordered_map>

namespace qm::store {

// A dictionary kept in a PostgreSQL database: one schema of its own (see serverschema.h) with
// the entries, their keyword rows and folded keys, and the properties. Every read and search
// gives the rows a file dictionary holding the same entries gives, in the same order: the keys
// are folded here with text::fold() and compared on the server in byte order, and every pattern
// row the server narrows to is tested here with the same matcher the file uses.
// New entry numbers come from a sequence, so writers never wait on one another for a number.
class ServerDictionary final : public DictionaryStorage
{
public:
    // Opens the dictionary the location names; throws store::Error.
    ServerDictionary(const QString &location, const ServerOptions &options);
    ~ServerDictionary() override;
    ServerDictionary(const ServerDictionary &) = delete;
    ServerDictionary &operator=(const ServerDictionary &) = delete;

    std::unique_ptr<ReadScope> holdReads() override;

    QString location() const override { return m_location; }
    bool isReadOnly() const override { return m_options.readOnly; }
    QString name() override;
    QString displayName() override;
    DictionaryDescription description() override;
    void setDescription(const DictionaryDescription &description) override;

    qint64 entryCount() override;
    qint64 keywordCount() override;
    void recordCounts() override;

    std::optional<Entry> document(qint32 documentNumber) override;
    QStringList keywords(qint32 documentNumber) override;
    std::vector<qint32> entryNumbers() override;
    void forEachEntry(const std::vector<qint32> &numbers, const EntryVisitor &visit) override;
    bool headingExists(const QString &heading) override;

    qint32 addEntry(const Entry &entry, const QStringList &keywords) override;
    qint64 addEntriesFrom(const BatchSource &next) override;
    bool updateEntry(const Entry &entry) override;
    bool deleteEntry(qint32 documentNumber) override;
    void addKeyword(qint32 documentNumber, const QString &keyword) override;
    bool deleteKeyword(qint32 documentNumber, const QString &keyword) override;
    int changeKeywords(qint32 documentNumber, const QStringList &remove, const QStringList &add) override;

    void holdEntry(qint32 documentNumber) override;
    void releaseEntry() override;

    void beginEditSession() override;
    void commitEditSession() override;
    void rollbackEditSession() override;
    bool inEditSession() const override { return m_session; }
    bool isEditSessionLive() override;

    int searchKeyword(const sqlite::LikePattern &pattern, int limit, const KeywordSink &sink) override;
    int searchCondition(const SearchCondition &condition, int limit, const KeywordSink &sink) override;
    std::unique_ptr<HeadingCursor> headings(HeadingOrder order, bool descending) override;

    QString backUp(const QString &root, const GenerationPolicy &policy, const QDateTime &now,
                   const Progress &progress) override;

private:
    // Runs `work`, turning the server's failures into the store's.
    template<class Work>
    auto guarded(Work &&work) -> decltype(work());
    [[noreturn]] void raise(const pg::Error &error) const;

    void open(const QString &connection);
    // Brings the dictionary's tables from an older version to the current one.
    void upgradeTables(qint64 version);
    // Makes the dictionary's schema the one its statements name.
    void useSchema();
    // After a broken connection (a restarted server, a network cut), the next operation outside
    // an edit session connects anew; within one, the session is lost and says so at its commit.
    void reconnectIfBroken();
    void requireWritable() const;
    QString property(const QString &name);
    // Adds the entries with their keyword rows (at most a few hundred at once); gives the number
    // the last one got.
    qint32 insertEntries(const std::vector<NewEntry> &entries, Numbering numbering);
    pg::Connection::PendingCopy copyEntries(const std::vector<NewEntry> &entries, Numbering numbering, const QString &stamp);
    std::vector<qint32> numbersFor(const std::vector<NewEntry> &entries, Numbering numbering);
    void passKeptNumbers(const std::vector<qint32> &numbers);
    std::vector<qint32> newNumbers(int count);
    bool emptyAndOwned();
    // What an import into an empty dictionary leaves to its end: the keywords' references to
    // their entries (checked before its rows are committed) and the tables' own indexes, by
    // table (built after).
    struct Deferred {
        QStringList references;
        QMap<QString, QStringList> indexes;
    };
    Deferred deferIndexesWhenEmpty(bool lookedEmpty);
    QMap<QString, QStringList> missingIndexesByTable();
    void completeIndexes(const QMap<QString, QStringList> &deferred);
    std::unique_ptr<pg::Connection> connect() const;
    // Another connection to the dictionary, with this one's settings and schema.
    std::unique_ptr<pg::Connection> connectAgain();
    // Keys folded by another version of text::fold() are folded anew (not when read-only).
    void refoldKeys();
    std::optional<Entry> readEntry(const pg::Result &rows, int row) const;
    // Hands the keyword rows `select` reads under `tests` (see serversearch.cpp) in keyword
    // order to `take` until it returns false.
    void walkRows(const QByteArray &select, const QByteArrayList &tests, const pg::Params &params, int firstBatch,
                  const std::function<bool(const pg::Result &, int)> &take);

    // An update or delete of an entry this object has read checks the version it read, so a
    // change another program made meanwhile is refused rather than overwritten.
    void noteRead(qint32 documentNumber, qint64 version);
    std::optional<qint64> versionRead(qint32 documentNumber) const;
    [[noreturn]] void refuseChanged(qint32 documentNumber);
    bool holds(qint32 documentNumber);
    // "user@host" of this program, written with every change.
    static QString writer();

    QString m_location;
    QString m_shown;
    QString m_dictionary;
    QString m_schema;
    QString m_host;
    QString m_connectionText;
    ServerOptions m_options;
    std::unique_ptr<pg::Connection> m_connection;
    bool m_session = false;
    std::unordered_map<qint32, qint64> m_versions;
    std::optional<qint32> m_held;
    friend class ServerHeadingCursor;
};

template<class Work>
auto ServerDictionary::guarded(Work &&work) -> decltype(work())
{
    try {
        reconnectIfBroken();
        return work();
    } catch (const pg::Error &error) {
        raise(error);
    }
}

} // namespace qm::store
