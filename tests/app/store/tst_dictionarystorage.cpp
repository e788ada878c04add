// The file-backed dictionary as the rest of the program sees it: through DictionaryStorage.

#include "app/store/care/backup.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/dictionarystorage.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/sqlite/likepattern.h"
#include "tests/common/stocksqlite.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace qm::store;
using qm::test::stockSqlite;

namespace {

Entry makeEntry(const QString &heading, quint8 viewer = 1, const QByteArray &body = "body")
{
    Entry e;
    e.Viewer = viewer;
    e.Heading = heading;
    e.Document = body;
    e.RenewalDate = QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5));
    return e;
}

QStringList keywordsFound(DictionaryStorage &storage, const QString &pattern)
{
    QStringList out;
    storage.searchKeyword(*qm::sqlite::LikePattern::compile(pattern), 100,
                          [&](const KeywordMatch &m) { out.append(m.Index); });
    return out;
}

} // namespace

class tst_dictionarystorage final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void entriesAndSearchesThroughTheInterface();
    void walkGivesExistingEntriesInTheOrderAsked();
    void descriptionKeepsTheStoredFormOfNone();
    void displayNameFallsBackToTheFileName();
    void richTextIsReadWithTheReaderItWasOpenedWith();
    void backUpMakesAGeneration();

private:
    // Opened for each test; `storage` is the same dictionary as the rest of the program sees it.
    void open(const Dictionary::Options &options = {});

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Dictionary> m_dictionary;
    DictionaryStorage *storage = nullptr;
};

void tst_dictionarystorage::init()
{
    m_dictionary.reset();
    m_path = m_dir.filePath(QStringLiteral("%1.dic").arg(QString::fromLatin1(QTest::currentTestFunction())));
    Dictionary::CreateDictionary(m_path, {QStringLiteral("保存"), {}, QStringLiteral("説明"), {false, true, false}});
    open();
}

void tst_dictionarystorage::open(const Dictionary::Options &options)
{
    m_dictionary.reset();
    m_dictionary = std::make_unique<Dictionary>(m_path, options);
    storage = m_dictionary.get();
}

void tst_dictionarystorage::entriesAndSearchesThroughTheInterface()
{
    const qint32 a = storage->addEntry(makeEntry(QStringLiteral("アルファ")), {QStringLiteral("あるふぁ"), QStringLiteral("Alpha")});
    const qint32 b = storage->addEntry(makeEntry(QStringLiteral("ベータ"), 4), {QStringLiteral("ﾍﾞｰﾀ")});
    storage->addKeyword(b, QStringLiteral("beta"));
    QCOMPARE(storage->entryCount(), 2);
    QCOMPARE(storage->keywordCount(), 4);
    QCOMPARE(storage->keywords(b), (QStringList{QStringLiteral("ﾍﾞｰﾀ"), QStringLiteral("beta")}));

    // Folded matching in keyword order, through the file's own indexes.
    QCOMPARE(keywordsFound(*storage, QStringLiteral("ALPHA")), QStringList{QStringLiteral("Alpha")});
    QCOMPARE(keywordsFound(*storage, QStringLiteral("べ*")), QStringList{QStringLiteral("ﾍﾞｰﾀ")});
    QCOMPARE(keywordsFound(*storage, QStringLiteral("*a")), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta")}));
    SearchCondition htmlOnly;
    htmlOnly.viewer = quint8(Viewer::Html);
    QList<qint32> found;
    storage->searchCondition(htmlOnly, 100, [&](const KeywordMatch &m) { found.append(m.DocumentNumber); });
    QCOMPARE(found, (QList<qint32>{b, b}));

    std::unique_ptr<HeadingCursor> headings = storage->headings(HeadingOrder::Heading, true);
    const std::vector<HeadingRow> rows = headings->next(10);
    QCOMPARE(rows.size(), std::size_t(2));
    QCOMPARE(rows[0].DocumentNumber, b);
    QVERIFY(headings->atEnd());

    // An exact heading, as stored: folding does not apply.
    QVERIFY(storage->headingExists(QStringLiteral("アルファ")));
    QVERIFY(!storage->headingExists(QStringLiteral("ｱﾙﾌｧ")));

    storage->beginEditSession();
    QVERIFY(storage->isEditSessionLive());
    QVERIFY(storage->deleteKeyword(a, QStringLiteral("Alpha")));
    QVERIFY(storage->deleteEntry(b));
    storage->commitEditSession();
    QVERIFY(!storage->inEditSession() && !storage->isEditSessionLive());
    QCOMPARE(storage->entryNumbers(), std::vector<qint32>{a});
    QCOMPARE(keywordsFound(*storage, QStringLiteral("*a")), QStringList());
}

void tst_dictionarystorage::walkGivesExistingEntriesInTheOrderAsked()
{
    std::vector<qint32> numbers;
    for (const QString &h : {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")})
        numbers.push_back(storage->addEntry(makeEntry(h), {h, h.toUpper()}));
    const auto walk = [&](const std::vector<qint32> &asked, int stopAfter) {
        QStringList seen;
        storage->forEachEntry(asked, [&](const Entry &e, const QStringList &keywords) {
            seen.append(e.Heading + QLatin1Char('/') + keywords.join(QLatin1Char(',')));
            return seen.size() < stopAfter;
        });
        return seen;
    };
    QCOMPARE(walk({numbers[2], 999, numbers[0]}, 10), (QStringList{QStringLiteral("three/three,THREE"), QStringLiteral("one/one,ONE")}));
    QCOMPARE(walk(numbers, 1), QStringList{QStringLiteral("one/one,ONE")});
    // The walk ends its read: the file takes a write right after it.
    storage->addEntry(makeEntry(QStringLiteral("four")), {});
    QCOMPARE(storage->entryCount(), 4);
}

void tst_dictionarystorage::descriptionKeepsTheStoredFormOfNone()
{
    // Made without an author: the file holds one space, the program reads an empty text.
    QCOMPARE(stockSqlite(m_path, QStringLiteral("SELECT '[' || Value || ']' FROM Properties WHERE Name = 'Author'")),
             QStringLiteral("[ ]"));
    const DictionaryDescription before = storage->description();
    QCOMPARE(before.author, QString());
    QCOMPARE(before.comment, QStringLiteral("説明"));

    // The author is locked: it keeps its value whatever is asked; the comment becomes "none".
    storage->setDescription({QStringLiteral("新しい名前"), QStringLiteral("誰か"), {}, {}});
    const DictionaryDescription after = storage->description();
    QCOMPARE(after, (DictionaryDescription{QStringLiteral("新しい名前"), {}, {}, {false, true, false}}));
    QCOMPARE(stockSqlite(m_path, QStringLiteral("SELECT '[' || Value || ']' FROM Properties WHERE Name = 'Comment'")),
             QStringLiteral("[ ]"));
}

void tst_dictionarystorage::displayNameFallsBackToTheFileName()
{
    QCOMPARE(storage->displayName(), QStringLiteral("保存"));
    // Another program removes the name: reading it fails, showing it does not.
    stockSqlite(m_path, QStringLiteral("DELETE FROM Properties WHERE Name = 'DictionaryName'"));
    QVERIFY_THROWS_EXCEPTION(qm::sqlite::Error, storage->name());
    QCOMPARE(storage->displayName(), QStringLiteral("displayNameFallsBackToTheFileName.dic"));
}

void tst_dictionarystorage::richTextIsReadWithTheReaderItWasOpenedWith()
{
    SearchCondition condition;
    condition.terms.push_back({SearchField::Body, MatchMode::Contains, QStringLiteral("visible")});
    const auto found = [&](DictionaryStorage &d) { return d.searchCondition(condition, 10, [](const KeywordMatch &) {}); };

    // Written without a reader, the body's text is not known: it is not found by it.
    storage->addEntry(makeEntry(QStringLiteral("rich"), quint8(Viewer::RichText), "{\\rtf1\\ansi hidden}"),
                      {QStringLiteral("k")});
    QCOMPARE(found(*storage), 0);

    // Each dictionary reads with the reader it was opened with, and no other.
    open({false, {}, [](QStringView rtf) { return rtf.contains(u"hidden") ? QStringLiteral("VISIBLE") : QString(); }});
    Dictionary plain(m_path);
    QCOMPARE(found(*storage), 1);
    QCOMPARE(found(plain), 0);
}

void tst_dictionarystorage::backUpMakesAGeneration()
{
    storage->addEntry(makeEntry(QStringLiteral("kept")), {QStringLiteral("kept")});
    const QString root = m_dir.filePath(QStringLiteral("backups"));
    const QString generation = storage->backUp(root, {}, QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7)), {});
    QVERIFY(generation.startsWith(root));
    QVERIFY(Dictionary::IsDictionaryFile(generation));
    Dictionary copy(generation, {true, {}, {}});
    QCOMPARE(copy.entryCount(), 1);
}

QTEST_GUILESS_MAIN(tst_dictionarystorage)
#include "tst_dictionarystorage.moc"
