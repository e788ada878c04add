#pragma once

#include "app/store/dictionary/dictionaryentries.h"
#include "app/store/dictionary/dictionaryfile.h"
#include "app/store/dictionary/dictionarystorage.h"
#include "app/store/dictionary/entry.h"
#include "app/store/search/dictionarysearcher.h"

#include <QVariant>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace qm::sqlite {
class LikePattern;
}

namespace qm::store {

// A dictionary kept in a local file: the file (DictionaryFile), its entries
// (DictionaryEntries) and its searches (DictionarySearcher) as one DictionaryStorage.
class Dictionary final : public DictionaryStorage
{
public:
    using Options = DictionaryFile::Options;
    using NewEntry = store::NewEntry;
    using Numbering = store::Numbering;
    using BatchSource = store::BatchSource;

    // Opens the file (see DictionaryFile).
    explicit Dictionary(const QString &path);
    Dictionary(const QString &path, const Options &options);
    // An edit session still open is rolled back.
    ~Dictionary() override;
    Dictionary(const Dictionary &) = delete;
    Dictionary &operator=(const Dictionary &) = delete;

    // Makes a new, empty dictionary (see DictionaryFile::create()).
    static void CreateDictionary(const QString &fileName, const QString &dictionaryName,
                                 const QString &author, const QString &comment,
                                 const std::array<bool, 3> &locks);
    static void CreateDictionary(const QString &fileName, const DictionaryDescription &description);
    // See DictionaryFile::isDictionaryFile().
    static bool IsDictionaryFile(const QString &fileName);

    DictionaryFile &file() { return m_file; }
    DictionaryEntries &entries() { return m_entries; }
    DictionarySearcher &searcher() { return m_searcher; }

    const QString &path() const { return m_file.path(); }
    sqlite::Database &database() { return m_file.database(); }
    bool hasSearchTables() const { return m_file.hasSearchTables(); }
    QVariant property(const QString &name) { return m_file.property(name); }
    void setProperty(const QString &name, const QVariant &value) { m_file.setProperty(name, value); }
    qint64 indexRowCount() { return m_file.indexRowCount(); }
    qint64 documentRowCount() { return m_file.documentRowCount(); }
    void followReplacement() { m_file.followReplacement(); }

    void addEntries(const std::vector<NewEntry> &entries, Numbering numbering = Numbering::New)
    {
        m_entries.addEntries(entries, numbering);
    }

    static const char *keywordLookupSql(const sqlite::LikePattern &pattern)
    {
        return DictionarySearcher::keywordLookupSql(pattern);
    }
    std::optional<std::vector<qint64>> trigramRows(const sqlite::LikePattern &pattern, qint64 cap)
    {
        return m_searcher.trigramRows(pattern, cap);
    }

    // DictionaryStorage
    QString location() const override { return m_file.path(); }
    bool isReadOnly() const override { return m_file.isReadOnly(); }
    QString name() override { return m_file.name(); }
    QString displayName() override { return m_file.displayName(); }
    DictionaryDescription description() override { return m_file.description(); }
    void setDescription(const DictionaryDescription &description) override { m_file.setDescription(description); }
    qint64 entryCount() override { return m_file.documentRowCount(); }
    qint64 keywordCount() override { return m_file.indexRowCount(); }
    void recordCounts() override { m_file.recordCounts(); }

    std::optional<Entry> document(qint32 documentNumber) override { return m_entries.document(documentNumber); }
    QStringList keywords(qint32 documentNumber) override { return m_entries.keywords(documentNumber); }
    std::vector<qint32> entryNumbers() override { return m_entries.entryNumbers(); }
    void forEachEntry(const std::vector<qint32> &numbers, const EntryVisitor &visit) override
    {
        m_entries.forEachEntry(numbers, visit);
    }
    bool headingExists(const QString &heading) override { return m_entries.headingExists(heading); }

    qint32 addEntry(const Entry &entry, const QStringList &keywords) override
    {
        return m_entries.addEntry(entry, keywords);
    }
    qint64 addEntriesFrom(const BatchSource &next) override { return m_entries.addEntriesFrom(next); }
    bool updateEntry(const Entry &entry) override { return m_entries.updateEntry(entry); }
    bool deleteEntry(qint32 documentNumber) override { return m_entries.deleteEntry(documentNumber); }
    void addKeyword(qint32 documentNumber, const QString &keyword) override
    {
        m_entries.addKeyword(documentNumber, keyword);
    }
    bool deleteKeyword(qint32 documentNumber, const QString &keyword) override
    {
        return m_entries.deleteKeyword(documentNumber, keyword);
    }

    void beginEditSession() override { m_entries.beginEditSession(); }
    void commitEditSession() override { m_entries.commitEditSession(); }
    void rollbackEditSession() override { m_entries.rollbackEditSession(); }
    bool inEditSession() const override { return m_entries.inEditSession(); }
    bool isEditSessionLive() override { return m_entries.isEditSessionLive(); }

    int searchKeyword(const sqlite::LikePattern &pattern, int limit, const KeywordSink &sink) override
    {
        return m_searcher.searchKeyword(pattern, limit, sink);
    }
    int searchKeywordForBodies(const sqlite::LikePattern &pattern, int limit, const KeywordSink &sink) override
    {
        return m_searcher.searchKeyword(pattern, limit, sink, RowUse::WithBodies);
    }
    int searchCondition(const SearchCondition &condition, int limit, const KeywordSink &sink) override
    {
        return m_searcher.searchCondition(condition, limit, sink);
    }
    std::unique_ptr<HeadingCursor> headings(HeadingOrder order, bool descending) override
    {
        return m_searcher.headings(order, descending);
    }

    QString backUp(const QString &root, const GenerationPolicy &policy, const QDateTime &now,
                   const Progress &progress) override;
    std::unique_ptr<ReadScope> holdReads() override;

private:
    // In this order: the entries and the searcher work on the file, and go before it.
    DictionaryFile m_file;
    DictionaryEntries m_entries;
    DictionarySearcher m_searcher;
};

} // namespace qm::store
