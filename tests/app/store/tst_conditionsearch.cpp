#include "app/common/storemessages.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/care/compaction.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/viewertype.h"

#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/rtf.h"
#include "platform/sqlite/statement.h"
#include "platform/text/cp932.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace qm::store;

namespace {

// Rich-text bodies are searched on the text the program's RTF reader gives.
const Dictionary::Options WithReader{false, {}, &qm::rtf::rtfToPlainText};

QByteArray cp932(const QString &text)
{
    return qm::text::cp932::encode(text).bytes;
}

// A rich-text body as the editor stores it, with runs of text in bold or not.
QByteArray richText(const QList<std::pair<QString, bool>> &runs)
{
    QTextDocument document;
    QTextCursor cursor(&document);
    for (const auto &[text, bold] : runs) {
        QTextCharFormat format;
        format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        cursor.insertText(text, format);
    }
    return qm::rtf::toRtfBytes(document);
}

SearchTerm term(SearchField field, MatchMode mode, const QString &text)
{
    return {field, mode, text};
}

SearchCondition bodyContains(const QString &text)
{
    return {std::nullopt, {term(SearchField::Body, MatchMode::Contains, text)}};
}

} // namespace

class tst_conditionsearch final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void conditionText();
    void bodiesAreMatchedOnTheirText();
    void objectsAreFoundOnlyThroughKeysOrTheirType();
    void keywordAndEntryTermsTogether();
    void specialCharactersFindWhatTheySay();
    void everyPlanGivesTheSameRows();
    void bodyTextsFollowEveryWrite();
    void limitAcrossDictionariesInSlotOrder();

private:
    // Adds an entry and returns its number.
    qint32 add(quint8 viewer, const QString &heading, const QByteArray &body, const QStringList &keywords);
    // "heading/keyword" of each row, in the order found.
    QStringList find(const SearchCondition &condition, int limit = 1000);

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Dictionary> m_dictionary;
};

void tst_conditionsearch::init()
{
    m_dictionary.reset();
    m_path = m_dir.filePath(QStringLiteral("%1.dic").arg(QString::fromLatin1(QTest::currentTestFunction())));
    QFile::remove(m_path);
    Dictionary::CreateDictionary(m_path, QStringLiteral("条件"), {}, {}, {});
    m_dictionary = std::make_unique<Dictionary>(m_path, WithReader);
}

qint32 tst_conditionsearch::add(quint8 viewer, const QString &heading, const QByteArray &body,
                                const QStringList &keywords)
{
    Entry e;
    e.Viewer = viewer;
    e.Heading = heading;
    e.Document = body;
    e.RenewalDate = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    return m_dictionary->addEntry(e, keywords);
}

QStringList tst_conditionsearch::find(const SearchCondition &condition, int limit)
{
    QStringList out;
    m_dictionary->searchCondition(condition, limit,
                                  [&](const KeywordMatch &m) { out.append(m.Heading + QLatin1Char('/') + m.Index); });
    return out;
}

void tst_conditionsearch::conditionText()
{
    const SearchCondition oneKeyword{std::nullopt, {term(SearchField::Keyword, MatchMode::Prefix, QStringLiteral("abc"))}};
    QCOMPARE(oneKeyword.text(),
             QStringLiteral("((Viewer=1 OR Viewer=3 OR Viewer=4) AND (Index LIKE \"abc*\")) OR "
                            "(Viewer=2 AND (Index LIKE \"abc*\")) OR (Viewer=5 AND (Index LIKE \"abc*\"))"));
    QCOMPARE((SearchCondition{quint8(1), {}}).text(), QStringLiteral("Viewer=1"));
    QCOMPARE((SearchCondition{quint8(1), {term(SearchField::Keyword, MatchMode::Prefix, {})}}).text(),
             QStringLiteral("Viewer=1"));

    // Rich text shows the body as the escapes of its CP932 bytes, in capitals; ASCII and
    // half-width katakana (one byte) stay as they are.
    const SearchCondition rich{quint8(2), {term(SearchField::Body, MatchMode::Contains, QStringLiteral("日aｱ1"))}};
    QCOMPARE(rich.text(), QStringLiteral("Viewer=2 AND (Document LIKE \"*\\'93\\'FAaｱ1*\")"));

    // Without a type, objects get only the keyword and heading terms, in the order given.
    const SearchCondition mixed{std::nullopt,
                                {term(SearchField::Body, MatchMode::Contains, QStringLiteral("x")),
                                 term(SearchField::Heading, MatchMode::Suffix, QStringLiteral("h"))}};
    QCOMPARE(mixed.text(),
             QStringLiteral("((Viewer=1 OR Viewer=3 OR Viewer=4) AND (Document LIKE \"*x*\" AND Heading LIKE \"*h\")) OR "
                            "(Viewer=2 AND (Document LIKE \"*x*\" AND Heading LIKE \"*h\")) OR "
                            "(Viewer=5 AND (Heading LIKE \"*h\"))"));
    QCOMPARE(bodyContains(QStringLiteral("x")).text(),
             QStringLiteral("((Viewer=1 OR Viewer=3 OR Viewer=4) AND (Document LIKE \"*x*\")) OR "
                            "(Viewer=2 AND (Document LIKE \"*x*\"))"));
    QCOMPARE((SearchCondition{quint8(5), {term(SearchField::Keyword, MatchMode::Contains, QStringLiteral("k"))}}).text(),
             QStringLiteral("Viewer=5 AND (Index LIKE \"*k*\")"));
    QVERIFY(SearchCondition{}.text().isEmpty());
    QVERIFY(SearchCondition{}.isEmpty());
}

void tst_conditionsearch::bodiesAreMatchedOnTheirText()
{
    add(1, QStringLiteral("text"), cp932(QStringLiteral("ここは日本です")), {QStringLiteral("t")});
    add(4, QStringLiteral("html"), cp932(QStringLiteral("<p>日本</p>")), {QStringLiteral("h")});
    add(3, QStringLiteral("url"), cp932(QStringLiteral("http://example.jp/日本")), {QStringLiteral("u")});
    add(2, QStringLiteral("rich"), richText({{QStringLiteral("日本語"), false}}), {QStringLiteral("r")});
    // "日" in bold and "本" not: the stored RTF has a control word between them.
    add(2, QStringLiteral("split"), richText({{QStringLiteral("日"), true}, {QStringLiteral("本"), false}}),
        {QStringLiteral("s")});
    // Stored as \'81\'93\'fa\'40, which holds the escapes of "日" (\'93\'fa) across two characters.
    add(2, QStringLiteral("straddle"), richText({{QStringLiteral("％ⅰ"), false}}), {QStringLiteral("p")});
    add(1, QStringLiteral("straddle text"), cp932(QStringLiteral("％ⅰ")), {QStringLiteral("q")});
    add(5, QStringLiteral("object"), cp932(QStringLiteral("日本 にほん")), {QStringLiteral("o")});
    add(1, QStringLiteral("kana"), cp932(QStringLiteral("にほんご")), {QStringLiteral("k")});
    add(2, QStringLiteral("rich kana"), richText({{QStringLiteral("ニホン"), false}}), {QStringLiteral("rk")});
    add(4, QStringLiteral("html kana"), cp932(QStringLiteral("<b>ﾆﾎﾝ</b>")), {QStringLiteral("hk")});
    // A byte that starts no character reads as U+FFFD and the rest is still searched.
    add(1, QStringLiteral("broken"), QByteArray("\xFD") + cp932(QStringLiteral("日本")) + QByteArray("\x82"), {QStringLiteral("b")});

    QCOMPARE(find(bodyContains(QStringLiteral("日本"))),
             (QStringList{QStringLiteral("broken/b"), QStringLiteral("html/h"), QStringLiteral("rich/r"),
                          QStringLiteral("split/s"), QStringLiteral("text/t"), QStringLiteral("url/u")}));
    QVERIFY(!find(bodyContains(QStringLiteral("日"))).contains(QStringLiteral("straddle/p")));
    QCOMPARE(find(bodyContains(QStringLiteral("％ⅰ"))),
             (QStringList{QStringLiteral("straddle/p"), QStringLiteral("straddle text/q")}));
    // Half-width katakana finds hiragana and katakana in every type but an object.
    QCOMPARE(find(bodyContains(QStringLiteral("ﾆﾎﾝ"))),
             (QStringList{QStringLiteral("html kana/hk"), QStringLiteral("kana/k"), QStringLiteral("rich kana/rk")}));
    // The RTF itself is not searched: its control words are not text.
    QVERIFY(find(bodyContains(QStringLiteral("rtf1"))).isEmpty());
    QVERIFY(find(bodyContains(QStringLiteral("\\b"))).isEmpty());
    // With the rich-text type chosen, only rich text.
    QCOMPARE(find({quint8(2), {term(SearchField::Body, MatchMode::Contains, QStringLiteral("日本"))}}),
             (QStringList{QStringLiteral("rich/r"), QStringLiteral("split/s")}));
}

void tst_conditionsearch::objectsAreFoundOnlyThroughKeysOrTheirType()
{
    add(5, QStringLiteral("object"), cp932(QStringLiteral("needle")), {QStringLiteral("obj"), QStringLiteral("needle")});
    add(1, QStringLiteral("text"), cp932(QStringLiteral("needle")), {QStringLiteral("txt")});
    add(1, QStringLiteral("no keywords"), cp932(QStringLiteral("needle")), {});

    // A body term alone never finds an object, whatever its bytes hold.
    QCOMPARE(find(bodyContains(QStringLiteral("needle"))), QStringList{QStringLiteral("text/txt")});
    // With a keyword term, an object is matched on it alone: the body term does not apply.
    const SearchCondition keyAndBody{std::nullopt,
                                     {term(SearchField::Keyword, MatchMode::Prefix, QStringLiteral("ne")),
                                      term(SearchField::Body, MatchMode::Contains, QStringLiteral("nothing"))}};
    QCOMPARE(find(keyAndBody), QStringList{QStringLiteral("object/needle")});
    // A type alone lists every entry of the type, once per keyword.
    QCOMPARE(find({quint8(5), {}}), (QStringList{QStringLiteral("object/needle"), QStringLiteral("object/obj")}));
    QCOMPARE(find({quint8(1), {}}), QStringList{QStringLiteral("text/txt")});
    // The object type leaves body terms out.
    QCOMPARE(find({quint8(5), {term(SearchField::Body, MatchMode::Contains, QStringLiteral("nothing"))}}).size(), 2);
    QVERIFY(find({}).isEmpty());
}

void tst_conditionsearch::keywordAndEntryTermsTogether()
{
    add(1, QStringLiteral("Apple pie"), cp932(QStringLiteral("sweet")), {QStringLiteral("apple"), QStringLiteral("pie"), QStringLiteral("ＡＰＰＬＥＴ")});
    add(1, QStringLiteral("Apple juice"), cp932(QStringLiteral("drink")), {QStringLiteral("apple"), QStringLiteral("juice")});
    add(2, QStringLiteral("Pineapple"), richText({{QStringLiteral("sweet"), true}}), {QStringLiteral("pineapple")});

    // Keyword terms hold for one keyword row; heading and body terms for its entry.
    const SearchCondition c{std::nullopt,
                            {term(SearchField::Keyword, MatchMode::Contains, QStringLiteral("ppl")),
                             term(SearchField::Body, MatchMode::Contains, QStringLiteral("SWEET"))}};
    QCOMPARE(find(c), (QStringList{QStringLiteral("Apple pie/apple"), QStringLiteral("Apple pie/ＡＰＰＬＥＴ"),
                                   QStringLiteral("Pineapple/pineapple")}));
    const SearchCondition twoKeywordTerms{std::nullopt,
                                          {term(SearchField::Keyword, MatchMode::Prefix, QStringLiteral("app")),
                                           term(SearchField::Keyword, MatchMode::Suffix, QStringLiteral("t"))}};
    QCOMPARE(find(twoKeywordTerms), QStringList{QStringLiteral("Apple pie/ＡＰＰＬＥＴ")});
    // A heading term lists every keyword of the entries it finds.
    const SearchCondition heading{std::nullopt, {term(SearchField::Heading, MatchMode::Suffix, QStringLiteral("JUICE"))}};
    QCOMPARE(find(heading), (QStringList{QStringLiteral("Apple juice/apple"), QStringLiteral("Apple juice/juice")}));
    // Wildcards in the text keep their meaning.
    QCOMPARE(find({std::nullopt, {term(SearchField::Keyword, MatchMode::Prefix, QStringLiteral("?ie"))}}),
             QStringList{QStringLiteral("Apple pie/pie")});
}

void tst_conditionsearch::specialCharactersFindWhatTheySay()
{
    const QStringList keywords{QStringLiteral("50%_off"), QStringLiteral("50xyoff"), QStringLiteral("say \"hi\""),
                               QStringLiteral("a[b"), QStringLiteral("ab"), QStringLiteral("back\\slash"),
                               QStringLiteral("backslash"), QStringLiteral("x[]y")};
    for (const QString &k : keywords)
        add(1, k, cp932(k), {k});
    const auto byKeyword = [&](MatchMode mode, const QString &text) {
        return find({std::nullopt, {term(SearchField::Keyword, mode, text)}});
    };
    QCOMPARE(byKeyword(MatchMode::Contains, QStringLiteral("%_")), QStringList{QStringLiteral("50%_off/50%_off")});
    QCOMPARE(byKeyword(MatchMode::Contains, QStringLiteral("\"hi\"")), QStringList{QStringLiteral("say \"hi\"/say \"hi\"")});
    QCOMPARE(byKeyword(MatchMode::Prefix, QStringLiteral("a[")), QStringList{QStringLiteral("a[b/a[b")});
    QCOMPARE(byKeyword(MatchMode::Contains, QStringLiteral("[]")), QStringList{QStringLiteral("x[]y/x[]y")});
    QCOMPARE(byKeyword(MatchMode::Contains, QStringLiteral("k\\s")), QStringList{QStringLiteral("back\\slash/back\\slash")});
    // A class still is one.
    QCOMPARE(byKeyword(MatchMode::Prefix, QStringLiteral("[a]b")), QStringList{QStringLiteral("ab/ab")});
    QCOMPARE(find(bodyContains(QStringLiteral("%_"))), QStringList{QStringLiteral("50%_off/50%_off")});
    QCOMPARE(m_dictionary->documentRowCount(), qint64(keywords.size()));
}

void tst_conditionsearch::everyPlanGivesTheSameRows()
{
    // Enough entries that the entry terms alone pick many of them (the walk of the keyword
    // index) or few (their keywords sorted), and keyword terms of every kind.
    std::vector<Dictionary::NewEntry> batch;
    for (int i = 0; i < 2600; ++i) {
        Dictionary::NewEntry e;
        e.entry.Viewer = quint8(1 + i % 5);
        e.entry.Heading = QStringLiteral("見出し%1").arg(i % 7);
        e.entry.Document = cp932(QStringLiteral("本文%1").arg(i % 3));
        e.keywords = {QStringLiteral("キー%1").arg(i % 11), QStringLiteral("word%1x").arg(i)};
        batch.push_back(e);
    }
    m_dictionary->addEntries(batch);

    // What each row should be: every keyword row whose entry meets the terms, in keyword order.
    struct Row {
        QString key;
        qint32 number;
        QString index;
        qint64 rowid;
        QString line;
    };
    const auto expected = [&](const std::function<bool(const QString &key, int viewer, const QString &heading,
                                                       int body)> &meets, int limit) {
        qm::sqlite::Statement st(m_dictionary->database(),
                                 "SELECT i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid, d.Viewer, d.Heading, "
                                 "d.DocumentNumber FROM \"Index\" AS i JOIN Document AS d USING (DocumentNumber)");
        std::vector<Row> rows;
        while (st.step()) {
            const int n = st.toInt(6) - 1;
            if (meets(st.toText(0), st.toInt(4), st.toText(5), n % 3))
                rows.push_back({st.toText(0), st.toInt(1), st.toText(2), st.toInt64(3), st.toText(5) + QLatin1Char('/') + st.toText(2)});
        }
        std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
            const QByteArray ak = a.key.toUtf8(), bk = b.key.toUtf8();
            if (ak != bk)
                return ak < bk;
            if (a.number != b.number)
                return a.number < b.number;
            if (a.index != b.index)
                return a.index.toUtf8() < b.index.toUtf8();
            return a.rowid < b.rowid;
        });
        QStringList out;
        for (int i = 0; i < int(rows.size()) && i < limit; ++i)
            out.append(rows[std::size_t(i)].line);
        return out;
    };

    const auto kw = [](MatchMode m, const char *t) { return term(SearchField::Keyword, m, QString::fromUtf8(t)); };
    // Entry terms alone: few entries, their keywords sorted; many entries, the keywords walked.
    QCOMPARE(find({quint8(3), {}}, 700), expected([](auto &, int v, auto &, int) { return v == 3; }, 700));
    QCOMPARE(find(bodyContains(QStringLiteral("本文")), 700), expected([](auto &, int v, auto &, int) { return v != 5; }, 700));
    // Heading and body terms narrowing to few entries, sorted.
    const SearchCondition few{quint8(1), {term(SearchField::Heading, MatchMode::Suffix, QStringLiteral("3")),
                                          term(SearchField::Body, MatchMode::Contains, QStringLiteral("本文2"))}};
    QCOMPARE(find(few), expected([](auto &, int v, const QString &h, int b) {
                 return v == 1 && h.endsWith(u'3') && b == 2;
             }, 1000));
    // A prefix range, contains and suffix terms the trigram index narrows, and one it cannot.
    QCOMPARE(find({std::nullopt, {kw(MatchMode::Prefix, "word12")}}),
             expected([](const QString &k, int, auto &, int) { return k.startsWith(QStringLiteral("word12")); }, 1000));
    QCOMPARE(find({std::nullopt, {kw(MatchMode::Contains, "d25")}}),
             expected([](const QString &k, int, auto &, int) { return k.contains(QStringLiteral("d25")); }, 1000));
    QCOMPARE(find({std::nullopt, {kw(MatchMode::Suffix, "11x")}}, 300),
             expected([](const QString &k, int, auto &, int) { return k.endsWith(QStringLiteral("11x")); }, 300));
    QCOMPARE(find({std::nullopt, {kw(MatchMode::Suffix, "1x")}}, 300),
             expected([](const QString &k, int, auto &, int) { return k.endsWith(QStringLiteral("1x")); }, 300));
    // A contains too short for the trigram index, with an entry term.
    QCOMPARE(find({std::nullopt, {kw(MatchMode::Contains, "1"), term(SearchField::Body, MatchMode::Contains, QStringLiteral("1"))}}, 500),
             expected([](const QString &k, int v, auto &, int b) { return k.contains(u'1') && (v == 5 || b == 1); }, 500));
}

void tst_conditionsearch::bodyTextsFollowEveryWrite()
{
    const auto texts = [&] {
        qm::sqlite::Statement st(m_dictionary->database(),
                                 "SELECT group_concat(DocumentNumber || '=' || coalesce(TextKey, 'NULL'), ' ') "
                                 "FROM (SELECT * FROM DocumentText ORDER BY DocumentNumber)");
        return st.step() ? st.toText(0) : QString();
    };
    const qint32 a = add(2, QStringLiteral("a"), richText({{QStringLiteral("Ｒｉｃｈ"), true}}), {QStringLiteral("a")});
    const qint32 b = add(1, QStringLiteral("b"), cp932(QStringLiteral("plain")), {QStringLiteral("b")});
    QCOMPARE(texts(), QStringLiteral("%1=rich").arg(a));

    // Retyping moves the text in and out; a new body replaces it.
    Entry e = *m_dictionary->document(b);
    e.Viewer = 2;
    e.Document = richText({{QStringLiteral("Now rich"), false}});
    QVERIFY(m_dictionary->updateEntry(e));
    Entry first = *m_dictionary->document(a);
    first.Viewer = 1;
    QVERIFY(m_dictionary->updateEntry(first));
    QCOMPARE(texts(), QStringLiteral("%1=now rich").arg(b));
    QVERIFY(m_dictionary->deleteEntry(b));
    QCOMPARE(texts(), QString());

    // A writer that hands over the visible text is taken at its word: the RTF is not read.
    Entry handed;
    handed.Viewer = 2;
    handed.Heading = QStringLiteral("h");
    handed.Document = richText({{QStringLiteral("in the rtf"), false}});
    handed.VisibleText = QStringLiteral("Ｈａｎｄｅｄ");
    const qint32 h = m_dictionary->addEntry(handed, {QStringLiteral("h")});
    QCOMPARE(texts(), QStringLiteral("%1=handed").arg(h));
    QVERIFY(m_dictionary->deleteEntry(h));

    // Written while no reader is set, the text is read when searched and stored by compaction.
    m_dictionary = std::make_unique<Dictionary>(m_path);
    const qint32 c = add(2, QStringLiteral("c"), richText({{QStringLiteral("later"), false}}), {QStringLiteral("c")});
    m_dictionary = std::make_unique<Dictionary>(m_path, WithReader);
    QCOMPARE(texts(), QStringLiteral("%1=NULL").arg(c));
    QCOMPARE(find(bodyContains(QStringLiteral("LATER"))), QStringList{QStringLiteral("c/c")});
    m_dictionary.reset();
    CompactDictionary(m_path, {}, &qm::rtf::rtfToPlainText);
    m_dictionary = std::make_unique<Dictionary>(m_path, WithReader);
    QCOMPARE(texts(), QStringLiteral("%1=later").arg(c));
}

void tst_conditionsearch::limitAcrossDictionariesInSlotOrder()
{
    for (int i = 0; i < 3; ++i)
        add(1, QStringLiteral("one%1").arg(i), cp932(QStringLiteral("共通")), {QStringLiteral("k%1").arg(i)});
    m_dictionary.reset();
    const QString second = m_dir.filePath(QStringLiteral("second.dic"));
    QFile::remove(second);
    Dictionary::CreateDictionary(second, QStringLiteral("二"), {}, {}, {});
    {
        Dictionary d(second);
        Entry e;
        e.Viewer = 4;
        e.Heading = QStringLiteral("two");
        e.Document = cp932(QStringLiteral("<i>共通</i>"));
        d.addEntry(e, {QStringLiteral("a"), QStringLiteral("b")});
    }
    qm::desktop::ScriptedPrompter prompter;
    DatabaseModule module(qm::app::storeHost(prompter), m_dir.path());
    module.sets().add(DictionarySet({}, {m_path, second}));
    module.sets().choose(0);
    module.OpenDictionarySet();

    QStringList rows;
    const auto collect = [&](const SlotMatch &m) { rows.append(QString::number(m.slot.index) + m.match.Index); };
    const auto find = [&](const SearchCondition &condition, int limit) {
        return module.search(SearchRequest::condition(condition, limit), collect);
    };
    auto outcome = find(bodyContains(QStringLiteral("共通")), 1000);
    QCOMPARE(rows, (QStringList{QStringLiteral("0k0"), QStringLiteral("0k1"), QStringLiteral("0k2"),
                                QStringLiteral("1a"), QStringLiteral("1b")}));
    QVERIFY(!outcome.limitReached);
    rows.clear();
    outcome = find(bodyContains(QStringLiteral("共通")), 4);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.last(), QStringLiteral("1a"));
    QVERIFY(outcome.limitReached);
    // Exactly at the limit counts as reached.
    rows.clear();
    QVERIFY(find(bodyContains(QStringLiteral("共通")), 3).limitReached);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(find({}, 10).count, 0);
}

QTEST_MAIN(tst_conditionsearch)
#include "tst_conditionsearch.moc"
