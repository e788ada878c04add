#include "app/common/exchangemessages.h"
#include "app/common/storemessages.h"

#include <QTest>

Q_DECLARE_METATYPE(qm::exchange::Reason)

using namespace qm;
using exchange::Reason;
using Kind = Reason::Kind;

// The words of the exchange of entries: each reason said in full, the values in their places and
// never read twice, the lines of a refused file counted.
class tst_ExchangeMessages final : public QObject
{
    Q_OBJECT

    static Reason reason(Kind kind, qint64 value = 0, qint64 limit = 0, const QString &text = {})
    {
        Reason r = exchange::reasonOf(kind);
        r.value = value;
        r.limit = limit;
        r.text = text;
        return r;
    }

private slots:
    void everyKindHasWords()
    {
        for (int k = 0; k <= int(Kind::DictionaryClosed); ++k)
            QVERIFY2(!app::exchangeReason(exchange::reasonOf(Kind(k))).isEmpty(), qPrintable(QString::number(k)));
    }

    void reasonsCarryTheirValues_data()
    {
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QString>("words");
        Reason field = reason(Kind::MissingField, 0, 0, QStringLiteral("data"));
        field.part = Reason::Part::Object;
        Reason tab = reason(Kind::NoDelimiter);
        tab.character = u'\t';
        Reason semicolon = tab;
        semicolon.character = u';';
        Reason utf8 = reason(Kind::UndecodableUtf8, 5);
        utf8.byte = 0x0a;
        Reason reserved = reason(Kind::ReservedKeywordChar, 0, 0, QStringLiteral("a%1b"));
        reserved.character = u'[';
        Reason characters = reason(Kind::BodyNotCp932);
        characters.characters = {U'😀'};
        QTest::newRow("part") << field << QStringLiteral("埋め込みオブジェクトの \"data\" がないか、型が違います");
        QTest::newRow("tab") << tab << QStringLiteral("区切り文字 (タブ) がなく、値が 1 つしかありません");
        QTest::newRow("delimiter") << semicolon << QStringLiteral("区切り文字 (;) がなく、値が 1 つしかありません");
        QTest::newRow("byte") << utf8 << QStringLiteral("5 文字目に UTF-8 として読めないバイト (0x0a) があります");
        QTest::newRow("percent kept") << reserved
                                      << QStringLiteral("キーワード \"a%1b\" にキーワードに使えない文字 \"[\" があります");
        QTest::newRow("characters") << characters << QStringLiteral("本文に CP932 で表せない文字があります: \"😀\" (U+1F600)");
        QTest::newRow("sizes") << reason(Kind::BodyTooLarge, 12, 10)
                               << QStringLiteral("本文が大きすぎます (12 バイト、上限は 10 バイトです)");
        const sqlite::Error full(sqlite::Error::Kind::General, 13, QStringLiteral("database or disk is full"));
        Reason batch = exchange::reasonOf(Kind::BatchNotWritable, full);
        batch.value = 3;
        batch.limit = 9;
        QTest::newRow("batch") << batch
                               << QStringLiteral("3 行目から 9 行目までの項目を書き込めません。辞書に書き込めません: ")
                                      + app::describeFailure(full);
        QTest::newRow("version") << reason(Kind::UnreadableVersion, 0, 1, QStringLiteral("2"))
                                 << QStringLiteral("形式の版 2 は読めません (読めるのは 1 です)");
    }

    void reasonsCarryTheirValues()
    {
        QFETCH(Reason, reason);
        QFETCH(QString, words);
        QCOMPARE(app::exchangeReason(reason), words);
    }

    void refusedLinesAreCountedAndListed()
    {
        exchange::ProblemList problems;
        problems.throwIfAny();
        for (int line = 1; line <= exchange::ProblemList::Listed + 3; ++line)
            problems.add(line, exchange::reasonOf(Kind::EmptyKeyword));
        try {
            problems.throwIfAny();
            QFAIL("nothing was thrown");
        } catch (const exchange::ExchangeError &e) {
            QCOMPARE(e.line(), 1);
            const QStringList lines = app::exchangeMessage(e).split(u'\n');
            QCOMPARE(lines.size(), exchange::ProblemList::Listed + 2);
            QCOMPARE(lines.first(), QStringLiteral("取り込めない行が 23 行あります。"));
            QCOMPARE(lines[1], QStringLiteral("1 行目: 空のキーワードがあります"));
            QCOMPARE(lines.last(), QStringLiteral("ほかに 3 行あります。"));
        }
        QCOMPARE(app::exchangeMessage(exchange::ExchangeError(0, exchange::reasonOf(Kind::ImportCancelled))),
                 QStringLiteral("取り込みを中止しました"));
    }

    void importReportNamesWhatBecameOfTheRows()
    {
        const QString where = QStringLiteral("辞書 a%1 ");
        QCOMPARE(app::importReport({3, 0, 0, 0}, where), QStringLiteral("3 件の項目を辞書 a%1 に追加しました。"));
        QCOMPARE(app::importReport({5, 1, 2, 4}, where),
                 QStringLiteral("5 件の項目を辞書 a%1 に追加しました。\n本文に CP932 で表せない文字があるため、そのうち "
                                "1 件はリッチテキストとして、2 件は HTML として保存しました。\n同じ見出しがあるため 4 行を読み飛ばしました。"));
    }
};

QTEST_MAIN(tst_ExchangeMessages)
#include "tst_exchangemessages.moc"
