#include "bodies.h"
#include "lookups.h"
#include "prng.h"
#include "setgenerator.h"
#include "words.h"

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/rtf.h"
#include "platform/sqlite/statement.h"
#include "platform/text/cp932.h"
#include "platform/text/fold.h"

#include <QCryptographicHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace qm::bench;
using qm::store::DatabaseModule;

namespace {

GeneratorOptions smallSet(const QString &folder, quint64 seed = 1)
{
    GeneratorOptions o;
    o.folder = folder;
    o.dictionaries = 3;
    o.entries = 120;
    o.keywordsPerEntry = 6;
    o.seed = seed;
    o.batchEntries = 50; // batch ends fall inside the run
    return o;
}

// Every row of every table of a dictionary, hashed: equal hashes mean equal files for us.
QByteArray contentHash(qm::store::Dictionary &d)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    qm::sqlite::Statement docs(d.database(), "SELECT DocumentNumber, Viewer, Heading, Document, RenewalDate "
                                             "FROM Document ORDER BY DocumentNumber");
    while (docs.step())
        hash.addData(QByteArray(QByteArray::number(docs.toInt(0)) + docs.toText(2).toUtf8() + docs.toBlob(3)
                                + docs.toText(4).toUtf8()));
    qm::sqlite::Statement keys(d.database(), "SELECT \"Index\", DocumentNumber FROM \"Index\" ORDER BY rowid");
    while (keys.step())
        hash.addData(QByteArray(keys.toText(0).toUtf8() + QByteArray::number(keys.toInt(1))));
    return hash.result();
}

struct OpenSet {
    explicit OpenSet(const QString &folder)
        : module(qm::app::storeHost(prompter), folder)
    {
        module.LoadDictionarySets();
        module.OpenDictionarySet();
    }
    qm::desktop::ScriptedPrompter prompter;
    DatabaseModule module;
};

} // namespace

class tst_gendict final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void kanaTablesSpellTheSameSyllables();
    void sameSeedSameOutputOnEveryLibrary();
    void bodyMixParsing();
    void setIsWholeAndOpensInTheStore();
    void keywordsAreARealisticMix();
    void bodiesAreWhatTheirViewerReads();
    void generationIsDeterministic();
    void refusesBadOptionsAndAnExistingSet();
    void lookupVariantsReturnTheSameRows();
    void lookupVariantsAgreeAcrossTheLimit();

private:
    QTemporaryDir m_dir;
    QString m_set;
};

void tst_gendict::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_set = m_dir.filePath(QStringLiteral("set"));
    SetGenerator(smallSet(m_set)).run();
}

void tst_gendict::kanaTablesSpellTheSameSyllables()
{
    // Entry i of each table must fold alike, or half-width and katakana keywords would not
    // share prefixes with hiragana ones the way typed Japanese does.
    const QStringList &h = WordMaker::hiraganaSyllables();
    const QStringList &k = WordMaker::katakanaSyllables();
    const QStringList &w = WordMaker::halfWidthSyllables();
    QCOMPARE(k.size(), h.size());
    QCOMPARE(w.size(), h.size());
    for (qsizetype i = 0; i < h.size(); ++i) {
        QCOMPARE(qm::text::fold(k[i]), h[i]);
        QCOMPARE(qm::text::fold(w[i]), h[i]);
    }
    QCOMPARE(h.last(), QStringLiteral("ん"));
}

void tst_gendict::sameSeedSameOutputOnEveryLibrary()
{
    // Fixed values: a change here changes every generated set, and GeneratorVersion must go up.
    Prng rng(1);
    QCOMPARE(rng.next(), Q_UINT64_C(12966619160104079557));
    QCOMPARE(rng.next(), Q_UINT64_C(9600361134598540522));
    Prng words(Prng::derive(1, 1));
    const Vocabulary vocabulary(1, 100, 10);
    KeywordFactory factory(words, vocabulary);
    QCOMPARE(factory.keywords(6).join(u' '), QString::fromUtf8("Fohe へしいのき タワコー ろりぐこ ﾙｸﾞﾊﾑ ﾀｰﾍｰﾍｰ"));
    for (int i = 0; i < 10000; ++i)
        QVERIFY(rng.below(7) < 7);
}

void tst_gendict::bodyMixParsing()
{
    const auto mix = BodyMix::parse(QStringLiteral("text=1, HTML=3,ole=0"));
    QVERIFY(mix);
    QCOMPARE(mix->toString(), QStringLiteral("text=1,rtf=0,url=0,html=3,ole=0"));
    Prng rng(3);
    for (int i = 0; i < 200; ++i) {
        const quint8 v = mix->draw(rng);
        QVERIFY(v == 1 || v == 4);
    }
    QVERIFY(!BodyMix::parse(QStringLiteral("text=0")));
    QVERIFY(!BodyMix::parse(QStringLiteral("pdf=3")));
    QVERIFY(!BodyMix::parse(QStringLiteral("text=x")));
    QVERIFY(!BodyMix::parse(QStringLiteral("text=-1,rtf=5")));
}

void tst_gendict::setIsWholeAndOpensInTheStore()
{
    OpenSet set(m_set);
    QCOMPARE(set.module.DictionarySetCount(), 1);
    QCOMPARE(set.module.DictionaryCount(), 3);
    QVERIFY(set.prompter.texts().isEmpty());
    for (int slot = 0; slot < 3; ++slot) {
        qm::store::Dictionary *d = set.module.dictionary(slot);
        QVERIFY(d);
        QCOMPARE(d->path(), QDir(m_set).absoluteFilePath(SetGenerator::dictionaryFileName(slot)));
        QCOMPARE(d->documentRowCount(), 120);
        QCOMPARE(d->indexRowCount(), 720);
        QCOMPARE(d->property(QStringLiteral("IndexRecordCount")).toInt(), 720);
        QCOMPARE(d->property(QStringLiteral("DocumentRecordCount")).toInt(), 120);
        QVERIFY(qm::store::Dictionary::IsDictionaryFile(d->path()));
    }
}

void tst_gendict::keywordsAreARealisticMix()
{
    OpenSet set(m_set);
    QSet<QString> perSlot[3];
    for (int slot = 0; slot < 3; ++slot) {
        qm::sqlite::Statement st(set.module.dictionary(slot)->database(), "SELECT \"Index\" FROM \"Index\"");
        while (st.step())
            perSlot[slot].insert(st.toText(0));
    }
    const QRegularExpression scripts[] = {
        QRegularExpression(QStringLiteral("^[\\x{3041}-\\x{3093}]+$")),          // hiragana
        QRegularExpression(QStringLiteral("^[\\x{30A1}-\\x{30F3}\\x{30FC}]+$")), // katakana
        QRegularExpression(QStringLiteral("^[\\x{FF66}-\\x{FF9F}]+$")),          // half-width katakana
        QRegularExpression(QStringLiteral("^[\\x{4E00}-\\x{9FFF}]+$")),          // kanji
        QRegularExpression(QStringLiteral("^[a-z]+[A-Z][a-z]*$|^[A-Z][a-z]+")),  // Latin, mixed case
    };
    for (const QRegularExpression &script : scripts) {
        const auto found = std::count_if(perSlot[0].begin(), perSlot[0].end(),
                                         [&](const QString &k) { return script.match(k).hasMatch(); });
        QVERIFY2(found >= 10, qPrintable(script.pattern()));
    }
    for (const QString &k : perSlot[0])
        QVERIFY2(qm::text::cp932::encode(k).ok(), qPrintable(k));
    // Shared words: dictionaries of one set have keywords in common.
    QVERIFY(QSet<QString>(perSlot[0]).intersect(perSlot[1]).size() >= 3);
}

void tst_gendict::bodiesAreWhatTheirViewerReads()
{
    OpenSet set(m_set);
    QSet<int> viewers;
    qm::sqlite::Statement st(set.module.dictionary(0)->database(), "SELECT Viewer, Document, RenewalDate FROM Document");
    while (st.step()) {
        const int viewer = st.toInt(0);
        const QByteArray body = st.toBlob(1);
        viewers.insert(viewer);
        QVERIFY(!body.isEmpty());
        if (viewer != 5)
            QVERIFY2(!qm::text::cp932::decode(body).contains(QChar::ReplacementCharacter), body.constData());
        if (viewer == 2) {
            // The RTF writer's output, which its reader takes back to the entry's words.
            QVERIFY(body.startsWith("{\\rtf1\\ansi\\ansicpg932"));
            const QString text = qm::rtf::rtfToPlainText(qm::text::cp932::decode(body));
            QVERIFY2(text.size() > 10 && !text.contains(u'\\'), qPrintable(text));
        }
        if (viewer == 3)
            QVERIFY(body.startsWith("https://"));
        if (viewer == 4)
            QVERIFY(body.contains("charset=Shift_JIS") && body.endsWith("</html>\r\n"));
        const QDate date = QDate::fromString(st.toText(2).left(10), Qt::ISODate);
        QVERIFY(date >= QDate(2004, 4, 1) && date < QDate(2024, 4, 1));
    }
    QCOMPARE(viewers, (QSet<int>{1, 2, 3, 4, 5}));
}

void tst_gendict::generationIsDeterministic()
{
    GeneratorOptions again = smallSet(m_dir.filePath(QStringLiteral("again")));
    again.batchEntries = 7; // batches change only the speed
    SetGenerator(again).run();
    SetGenerator(smallSet(m_dir.filePath(QStringLiteral("other")), 2)).run();
    for (int slot = 0; slot < 3; ++slot) {
        const QString name = SetGenerator::dictionaryFileName(slot);
        qm::store::Dictionary first(QDir(m_set).filePath(name));
        qm::store::Dictionary second(m_dir.filePath(QStringLiteral("again/") + name));
        qm::store::Dictionary other(m_dir.filePath(QStringLiteral("other/") + name));
        QCOMPARE(contentHash(second), contentHash(first));
        QVERIFY(contentHash(other) != contentHash(first));
    }
    QVERIFY(smallSet({}, 1).signature() != smallSet({}, 2).signature());
}

void tst_gendict::refusesBadOptionsAndAnExistingSet()
{
    QVERIFY_THROWS_EXCEPTION(GeneratorError, SetGenerator(smallSet(m_set)).run());
    GeneratorOptions o = smallSet(m_dir.filePath(QStringLiteral("bad")));
    o.dictionaries = 11;
    QVERIFY(!o.problem().isEmpty());
    QVERIFY_THROWS_EXCEPTION(GeneratorError, SetGenerator(o).run());
    o.dictionaries = 0;
    QVERIFY(!o.problem().isEmpty());
    o.dictionaries = 2;
    o.entries = 0;
    QVERIFY(!o.problem().isEmpty());
}

void tst_gendict::lookupVariantsReturnTheSameRows()
{
    OpenSet set(m_set);
    RawRangeScan raw(QStringList{QDir(m_set).filePath(SetGenerator::dictionaryFileName(0)),
                                 QDir(m_set).filePath(SetGenerator::dictionaryFileName(1)),
                                 QDir(m_set).filePath(SetGenerator::dictionaryFileName(2))});
    QStringList patterns = prefixPatterns();
    patterns << QStringLiteral("ｶ*") << QStringLiteral("ka*") << QStringLiteral("KA*");
    int matched = 0;
    for (const QString &p : patterns) {
        const LookupRows store = storeLookup(set.module, p, 1000);
        QCOMPARE(firstDifference(store, raw.rows(RawRangeScan::rangeOf(p), 1000)), QString());
        QCOMPARE(firstDifference(store, fullScanRows(set.module, p, 1000)), QString());
        matched += store.empty() ? 0 : 1;
    }
    QVERIFY(matched >= 4); // the patterns hit generated keywords
    const LookupRows wild = storeLookup(set.module, leadingWildcardPattern(), 1000);
    QCOMPARE(firstDifference(wild, fullScanRows(set.module, leadingWildcardPattern(), 1000)), QString());
}

void tst_gendict::lookupVariantsAgreeAcrossTheLimit()
{
    OpenSet set(m_set);
    RawRangeScan raw(QStringList{QDir(m_set).filePath(SetGenerator::dictionaryFileName(0)),
                                 QDir(m_set).filePath(SetGenerator::dictionaryFileName(1)),
                                 QDir(m_set).filePath(SetGenerator::dictionaryFileName(2))});
    const QString p = QStringLiteral("か*");
    const LookupRows all = storeLookup(set.module, p, 1000);
    const int perSlot0 = int(std::count_if(all.begin(), all.end(), [](const LookupRow &r) { return r.slot == 0; }));
    QVERIFY(perSlot0 > 0 && perSlot0 < int(all.size()));
    // A limit that ends inside the second dictionary: the rows are the first ones in slot and
    // keyword order, in all three.
    const int limit = perSlot0 + 1;
    const LookupRows store = storeLookup(set.module, p, limit);
    QCOMPARE(int(store.size()), limit);
    QCOMPARE(firstDifference(LookupRows(all.begin(), all.begin() + limit), store), QString());
    QCOMPARE(firstDifference(store, raw.rows(RawRangeScan::rangeOf(p), limit)), QString());
    QCOMPARE(firstDifference(store, fullScanRows(set.module, p, limit)), QString());
    for (std::size_t i = 1; i < all.size(); ++i) {
        const bool ordered = all[i - 1].slot < all[i].slot
                             || (all[i - 1].slot == all[i].slot
                                 && qm::text::fold(all[i - 1].keyword) <= qm::text::fold(all[i].keyword));
        QVERIFY2(ordered, qPrintable(all[i].keyword));
    }
}

QTEST_MAIN(tst_gendict)
#include "tst_gendict.moc"
