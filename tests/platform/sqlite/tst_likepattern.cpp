#include "platform/sqlite/likepattern.h"
#include "platform/text/fold.h"

#include <QTest>

using qm::sqlite::LikePattern;
using namespace Qt::StringLiterals;

class tst_likepattern final : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void malformedPatternsFail();
    void literalPrefix();
    void strayBracketsAsText();
    void literalRuns();
    void upperBound();
};

void tst_likepattern::matches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("prefix") << u"abc*"_s << u"abcdef"_s << true;
    QTest::newRow("prefix miss") << u"abc*"_s << u"abx"_s << false;
    QTest::newRow("exact") << u"abc"_s << u"abc"_s << true;
    QTest::newRow("exact longer") << u"abc"_s << u"abcd"_s << false;
    QTest::newRow("star alone") << u"*"_s << u""_s << true;
    QTest::newRow("inner star") << u"a*c"_s << u"abbbc"_s << true;
    QTest::newRow("inner star backtrack") << u"a*bc"_s << u"abcbc"_s << true;
    QTest::newRow("question") << u"a?c"_s << u"abc"_s << true;
    QTest::newRow("question needs one") << u"a?c"_s << u"ac"_s << false;
    QTest::newRow("digit") << u"x#"_s << u"x7"_s << true;
    QTest::newRow("digit refuses letter") << u"x#"_s << u"xa"_s << false;
    QTest::newRow("full-width digit") << u"x#"_s << u"x７"_s << true;
    QTest::newRow("class") << u"[abc]x"_s << u"bx"_s << true;
    QTest::newRow("class miss") << u"[abc]x"_s << u"dx"_s << false;
    QTest::newRow("negated class") << u"[!abc]x"_s << u"dx"_s << true;
    QTest::newRow("negated class miss") << u"[!abc]x"_s << u"ax"_s << false;
    QTest::newRow("range") << u"[a-f]1"_s << u"c1"_s << true;
    QTest::newRow("range miss") << u"[a-f]1"_s << u"g1"_s << false;
    QTest::newRow("bracketed star is literal") << u"a[*]"_s << u"a*"_s << true;
    QTest::newRow("bracketed star no wildcard") << u"a[*]"_s << u"ab"_s << false;
    QTest::newRow("case") << u"ABC*"_s << u"abcd"_s << true;
    QTest::newRow("width") << u"ＡＢＣ*"_s << u"abc"_s << true;
    QTest::newRow("half-width kana") << u"ｷｰﾜｰﾄﾞ*"_s << u"キーワード帳"_s << true;
    QTest::newRow("hiragana") << u"ｷｰﾜｰﾄﾞ*"_s << u"きーわーど"_s << true;
    QTest::newRow("kana class") << u"[あ]*"_s << u"アイ"_s << true;
    QTest::newRow("leading star") << u"*ab"_s << u"xxab"_s << true;
    QTest::newRow("leading star miss") << u"*ab"_s << u"xxabc"_s << false;
    QTest::newRow("surrogates") << u"?x"_s << u"😀x"_s << true;
}

void tst_likepattern::matches()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    const std::optional<LikePattern> p = LikePattern::compile(pattern);
    QVERIFY(p.has_value());
    QCOMPARE(p->matchesFolded(qm::text::fold(text)), expected);
}

void tst_likepattern::malformedPatternsFail()
{
    QVERIFY(!LikePattern::compile(u"[abc").has_value());
    QVERIFY(!LikePattern::compile(u"a[]").has_value());
    QVERIFY(!LikePattern::compile(u"[z-a]").has_value());
    QVERIFY(LikePattern::compile(u"a]").has_value());
}

void tst_likepattern::literalPrefix()
{
    const auto p = LikePattern::compile(u"ｷｰ*");
    QCOMPARE(p->literalPrefix(), QStringLiteral("きー"));
    QVERIFY(p->isPurePrefix());
    const auto q = LikePattern::compile(u"ab?c*");
    QCOMPARE(q->literalPrefix(), QStringLiteral("ab"));
    QVERIFY(!q->isPurePrefix());
    const auto r = LikePattern::compile(u"*ab");
    QVERIFY(r->literalPrefix().isEmpty());
    QVERIFY(!LikePattern::compile(u"abc")->isPurePrefix());
}

void tst_likepattern::strayBracketsAsText()
{
    const auto literal = [](QStringView pattern) {
        return LikePattern::compile(pattern, LikePattern::StrayBracket::Literal);
    };
    const auto p = literal(u"a[b*");
    QVERIFY(p.has_value());
    QVERIFY(p->matchesFolded(u"a[bc"));
    QVERIFY(!p->matchesFolded(u"ab"));
    // The source reads the same way with stray brackets refused, so SQL functions can take it.
    QCOMPARE(p->source(), u"a[[]b*"_s);
    QVERIFY(LikePattern::compile(p->source())->matchesFolded(u"a[bc"));
    QCOMPARE(p->literalPrefix(), u"a[b"_s);
    QCOMPARE(literal(u"x[]y")->source(), u"x[[]]y"_s);
    QVERIFY(literal(u"x[]y")->matchesFolded(u"x[]y"));
    QVERIFY(literal(u"[z-a]")->matchesFolded(u"[z-a]"));
    // A readable class stays one.
    QCOMPARE(literal(u"[ab]x")->source(), u"[ab]x"_s);
    QVERIFY(literal(u"[ab]x")->matchesFolded(u"bx"));
    QVERIFY(!literal(u"[ab]x")->matchesFolded(u"[ab]x"));
}

void tst_likepattern::literalRuns()
{
    const auto runs = LikePattern::compile(u"*ＡＢ?cd*e[x]fg#")->literalRuns();
    QCOMPARE(runs.size(), std::size_t(4));
    QVERIFY(runs[0] == U"ab" && runs[1] == U"cd" && runs[2] == U"e" && runs[3] == U"fg");
    QVERIFY(LikePattern::compile(u"*?*")->literalRuns().empty());
}

void tst_likepattern::upperBound()
{
    QCOMPARE(qm::sqlite::prefixUpperBound("ab"), QByteArray("ac"));
    const QByteArray kana = QStringLiteral("き").toUtf8();
    const QByteArray bound = qm::sqlite::prefixUpperBound(kana);
    QVERIFY(kana < bound);
    QVERIFY(QByteArray(kana + QStringLiteral("ー").toUtf8()) < bound);
    QVERIFY(!(QStringLiteral("ぎ").toUtf8() < bound));
}

QTEST_GUILESS_MAIN(tst_likepattern)
#include "tst_likepattern.moc"
