#pragma once

#include "app/store/dictionary/entry.h"
#include "app/store/progress.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace qm::store::salvage {

// An entry as it read, and whether every field of it read as its column holds it.
struct ReadEntry {
    Entry entry;
    bool complete = true;
};

// The renewal date as stored, taken as a time of no zone: every text the store writes comes
// back as the same text, a local time that a clock change skips too. nullopt when the text is
// no date the store writes.
std::optional<QDateTime> storedDate(const QString &text);

// Whether an entry's folded heading key reads as the store writes it. It is the last field of
// the row: bytes put in place of the row's end (by a page zeroed or overwritten) show in it, even
// when the fields before it still look like fields.
bool keyIntact(const QString &key, const QString &heading);

// What a salvage reads a damaged dictionary through. Each read gives nullopt when what it
// asks for does not read.
class Source
{
public:
    virtual ~Source() = default;
    // Every entry number the file still names, in order, each once.
    virtual std::vector<qint64> entryNumbers() = 0;
    // Every keyword row number the file still names, in order, each once.
    virtual std::vector<qint64> keywordRows() = 0;
    // The entry a keyword row belongs to.
    virtual std::optional<qint64> keywordOwner(qint64 row) = 0;
    virtual std::optional<QString> keyword(qint64 row) = 0;
    virtual std::optional<ReadEntry> entry(qint64 number) = 0;
    virtual std::optional<QVariant> property(const QString &name) = 0;
    // Some part of the file could not be read.
    virtual bool damaged() const = 0;
};

class PageFile;

// Reads an entry through the entry table's tree straight from the file, each overflow chain
// followed to its end. The engine does not read the link of a chain's last page, so a row whose
// last overflow page was overwritten reads there with part of it replaced; here the link must
// end the chain.
class TreeReader final
{
public:
    // A file without a sound header gives a reader that reads nothing (see readable()).
    explicit TreeReader(const QString &path);
    ~TreeReader();
    TreeReader(const TreeReader &) = delete;
    TreeReader &operator=(const TreeReader &) = delete;

    bool readable() const;
    // The bytes a row may take before part of it goes to overflow pages.
    qint64 largestLocalRow() const;
    // The entry `number` of the table whose tree starts at `root`; nullopt when it does not read
    // whole.
    std::optional<ReadEntry> entry(qint64 root, qint64 number);

private:
    std::unique_ptr<PageFile> m_file;
    bool m_readable = false;
};

// Reads the rows of a file's table pages without its header, schema or tree: every page that
// is a table leaf is taken apart, and its cells are matched against the layouts of the entry,
// keyword and property tables. The keyword index holds every column of a keyword row, so its
// pages give the keyword rows whose table pages are gone; the index of keyword rows by entry
// number tells which entries lost some. The page size is taken from the header, or found by trying each
// size when the header is gone. Every length and offset is checked against the page and the
// file, so a hostile file gives nothing rather than a read outside it. The pages the header
// lists as free are passed over: they hold rows deleted long ago.
class PageScan final : public Source
{
public:
    // What is read: everything, or only the keyword rows (which is much less to read).
    enum class Scope { Everything, Keywords };
    // Reads every page once. Throws sqlite::Error (Japanese) when the file does not open, or
    // Kind::Cancelled when the progress asks to stop.
    PageScan(const QString &path, const Progress &progress, Scope scope = Scope::Everything);
    ~PageScan() override;
    PageScan(const PageScan &) = delete;
    PageScan &operator=(const PageScan &) = delete;

    std::vector<qint64> entryNumbers() override;
    std::vector<qint64> keywordRows() override;
    std::optional<qint64> keywordOwner(qint64 row) override;
    std::optional<QString> keyword(qint64 row) override;
    std::optional<ReadEntry> entry(qint64 number) override;
    std::optional<QVariant> property(const QString &name) override;
    bool damaged() const override { return true; }

private:
    // Where an entry's cell lies; page 0 when its cell was found but does not read whole.
    struct CellAt {
        qint64 page = 0;
        int index = 0;
    };
    struct KeywordRow {
        qint64 owner = 0;
        std::optional<QString> text;
    };
    void scanPages(const QSet<qint64> &skipped, const Progress &progress);
    void scanPage(qint64 number);
    void scanTableLeaf(qint64 number, const QByteArray &page, qsizetype at);
    void scanKeywordIndex(const QByteArray &page, qsizetype at, quint8 type);
    // The keyword row from its table, or else from its index; null when neither has it.
    const KeywordRow *keywordRow(qint64 row) const;

    std::unique_ptr<PageFile> m_file;
    Scope m_scope;
    std::map<qint64, CellAt> m_entries;
    std::unordered_map<qint64, KeywordRow> m_keywords;
    std::unordered_map<qint64, KeywordRow> m_indexedKeywords;
    // The entry of each keyword row, from the index of keyword rows by entry number: a row named
    // only there is known to be lost.
    std::unordered_map<qint64, qint64> m_keywordOwners;
    QHash<QString, QVariant> m_properties;
};

} // namespace qm::store::salvage
