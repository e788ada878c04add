// The exchange formats read a dictionary only through DictionaryStorage: a storage kept in
// memory, with no file and no SQL behind it, exports the same bytes as the file with the same
// entries.

#include "app/exchange/exporter.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/viewertype.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <stdexcept>

using namespace qm;
using store::Entry;

namespace {

// Entries in a map; every operation the exchange formats must not need throws.
class MemoryStorage final : public store::DictionaryStorage
{
public:
    std::map<qint32, std::pair<Entry, QStringList>> entries;
    store::DictionaryDescription about;
    int walks = 0;

    QString location() const override { return QStringLiteral("memory:test"); }
    bool isReadOnly() const override { return true; }
    QString name() override { return about.name; }
    QString displayName() override { return about.name; }
    store::DictionaryDescription description() override { return about; }
    void setDescription(const store::DictionaryDescription &) override { fail(); }
    qint64 entryCount() override { return qint64(entries.size()); }
    qint64 keywordCount() override { fail(); }
    void recordCounts() override { fail(); }
    std::optional<Entry> document(qint32) override { fail(); }
    QStringList keywords(qint32) override { fail(); }
    std::vector<qint32> entryNumbers() override
    {
        std::vector<qint32> out;
        for (const auto &[number, entry] : entries)
            out.push_back(number);
        return out;
    }
    void forEachEntry(const std::vector<qint32> &numbers, const store::EntryVisitor &visit) override
    {
        ++walks;
        for (const qint32 n : numbers)
            if (const auto it = entries.find(n); it != entries.end() && !visit(it->second.first, it->second.second))
                return;
    }
    bool headingExists(const QString &heading) override
    {
        return std::any_of(entries.begin(), entries.end(), [&](const auto &e) { return e.second.first.Heading == heading; });
    }
    qint32 addEntry(const Entry &, const QStringList &) override { fail(); }
    qint64 addEntriesFrom(const store::BatchSource &) override { fail(); }
    bool updateEntry(const Entry &) override { fail(); }
    bool deleteEntry(qint32) override { fail(); }
    void addKeyword(qint32, const QString &) override { fail(); }
    bool deleteKeyword(qint32, const QString &) override { fail(); }
    void beginEditSession() override { fail(); }
    void commitEditSession() override { fail(); }
    void rollbackEditSession() override { fail(); }
    bool inEditSession() const override { return false; }
    bool isEditSessionLive() override { return false; }
    int searchKeyword(const sqlite::LikePattern &, int, const store::KeywordSink &) override { fail(); }
    int searchCondition(const store::SearchCondition &, int, const store::KeywordSink &) override { fail(); }
    std::unique_ptr<store::HeadingCursor> headings(store::HeadingOrder, bool) override { fail(); }
    QString backUp(const QString &, const store::GenerationPolicy &, const QDateTime &, const store::Progress &) override
    {
        fail();
    }

private:
    [[noreturn]] static void fail() { throw std::logic_error("the exchange formats used an operation they do not need"); }
};

Entry entry(qint32 number, quint8 viewer, const QString &heading, const QByteArray &body)
{
    Entry e;
    e.DocumentNumber = number;
    e.Viewer = viewer;
    e.Heading = heading;
    e.Document = body;
    e.RenewalDate = QDateTime(QDate(2025, 6, 7), QTime(8, 9, 10));
    return e;
}

QByteArray exported(store::DictionaryStorage &storage, exchange::ExportFormat format)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    exchange::ExportOptions options;
    options.format = format;
    exchange::exportDictionary(storage, out, options);
    return out.data();
}

} // namespace

class tst_exchangestorage final : public QObject
{
    Q_OBJECT

private slots:
    void exportReadsOnlyThroughTheStorage();
};

void tst_exchangestorage::exportReadsOnlyThroughTheStorage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("file.dic"));
    MemoryStorage memory;
    memory.about = {QStringLiteral("交換"), {}, QStringLiteral("メモ"), {true, false, false}};
    store::Dictionary::CreateDictionary(path, memory.about);
    store::Dictionary file(path);
    const std::vector<std::pair<Entry, QStringList>> rows{
        {entry(1, 1, QStringLiteral("テキスト"), "plain"), {QStringLiteral("てきすと"), QStringLiteral("text")}},
        {entry(2, 4, QStringLiteral("html"), "<b>x</b>"), {}},
        {entry(3, 3, QStringLiteral("url"), "http://example.jp/"), {QStringLiteral("url")}}};
    for (const auto &[e, keywords] : rows) {
        memory.entries[e.DocumentNumber] = {e, keywords};
        QCOMPARE(file.addEntry(e, keywords), e.DocumentNumber);
    }
    file.deleteEntry(2);
    memory.entries.erase(2);

    for (const exchange::ExportFormat format : {exchange::ExportFormat::JsonLines, exchange::ExportFormat::Html}) {
        const QByteArray fromMemory = exported(memory, format);
        QVERIFY(fromMemory.contains("example.jp"));
        QCOMPARE(fromMemory, exported(file, format));
    }
    // All entries of a dictionary are read in one walk.
    QCOMPARE(memory.walks, 2);
    // The header holds "no author" as one space, as the file does.
    QVERIFY(exported(memory, exchange::ExportFormat::JsonLines).contains("\"author\":\" \""));
}

QTEST_MAIN(tst_exchangestorage)
#include "tst_exchangestorage.moc"
