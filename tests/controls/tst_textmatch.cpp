#include "controls/dialogs/textmatch.h"

#include <QTest>

using corvane::findText;
using corvane::TextSpan;

class tst_textmatch final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsWhereTheUserWould_data();
    void findsWhereTheUserWould();
    void wholeMatchesOfASelection();
    void findsFarIntoALongText();
};

void tst_textmatch::findsWhereTheUserWould_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("start"); // -1: no match
    QTest::addColumn<int>("length");

    QTest::newRow("first") << u"abcabc"_qs << u"b"_qs << 0 << false << 1 << 1;
    QTest::newRow("from after it") << u"abcabc"_qs << u"b"_qs << 2 << false << 4 << 1;
    QTest::newRow("past the last") << u"abcabc"_qs << u"b"_qs << 5 << false << -1 << 0;
    QTest::newRow("from the end") << u"abc"_qs << u"c"_qs << 3 << false << -1 << 0;
    QTest::newRow("case ignored") << u"xabc"_qs << u"ABC"_qs << 0 << false << 1 << 3;
    QTest::newRow("case kept") << u"xabc"_qs << u"ABC"_qs << 0 << true << -1 << 0;
    QTest::newRow("case kept, same") << u"xABC"_qs << u"ABC"_qs << 0 << true << 1 << 3;
    QTest::newRow("case kept, width too") << u"ＡＢＣ"_qs << u"ABC"_qs << 0 << true << -1 << 0;
    QTest::newRow("full width") << u"全角ＡＢＣ"_qs << u"abc"_qs << 0 << false << 2 << 3;
    QTest::newRow("katakana for hiragana") << u"ひらがなカタカナ"_qs << u"かたかな"_qs << 0 << false << 4 << 4;
    QTest::newRow("half-width voiced kana") << u"ｱｶﾞｻ"_qs << u"ガ"_qs << 0 << false << 1 << 2;
    QTest::newRow("voiced kana searched half-width") << u"アガサ"_qs << u"ｶﾞ"_qs << 0 << false << 1 << 1;
    QTest::newRow("the mark belongs to its kana") << u"ｱｶﾞｻ"_qs << u"ｶ"_qs << 0 << false << -1 << 0;
    QTest::newRow("combining mark") << u"カ\u3099ン"_qs << u"が"_qs << 0 << false << 0 << 2;
    QTest::newRow("part of a ligature") << u"ﬁx"_qs << u"f"_qs << 0 << false << -1 << 0;
    QTest::newRow("whole ligature") << u"ﬁx"_qs << u"FI"_qs << 0 << false << 0 << 1;
    QTest::newRow("after a surrogate pair") << u"a😀b"_qs << u"B"_qs << 0 << false << 3 << 1;
    QTest::newRow("empty search") << u"abc"_qs << QString() << 0 << false << -1 << 0;
}

void tst_textmatch::findsWhereTheUserWould()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(int, from);
    QFETCH(bool, matchCase);
    QFETCH(int, start);
    QFETCH(int, length);
    const std::optional<TextSpan> found = findText(text, needle, from, matchCase);
    if (start < 0) {
        QVERIFY2(!found, qPrintable(QString::number(found ? found->start : -1)));
        return;
    }
    QVERIFY(found);
    QCOMPARE(*found, (TextSpan{start, length}));
}

void tst_textmatch::wholeMatchesOfASelection()
{
    QVERIFY(corvane::matchesWhole(u"ｶﾞ", u"が", false));
    QVERIFY(corvane::matchesWhole(u"ABC", u"abc", false));
    QVERIFY(!corvane::matchesWhole(u"ABC", u"abc", true));
    QVERIFY(!corvane::matchesWhole(u"abcd", u"abc", false));
    QVERIFY(!corvane::matchesWhole(u"xabc", u"abc", false));
}

// The folded text is built a piece at a time; matches far in, and across the seam between
// two pieces, are found with their original spans.
void tst_textmatch::findsFarIntoALongText()
{
    const QString longText = QString(5000, u'あ') + u"ｶﾞ"_qs + QString(10, u'x');
    QCOMPARE(findText(longText, u"が", 0, false), (TextSpan{5000, 2}));
    for (int before = 250; before < 260; ++before) {
        const QString seam = QString(before, u'x') + u"ﾃｽﾄ"_qs;
        QCOMPARE(findText(seam, u"てすと", 0, false), (TextSpan{before, 3}));
    }
    QVERIFY(!findText(QString(3000, u'ア'), u"か", 0, false));
}

QTEST_APPLESS_MAIN(tst_textmatch)
#include "tst_textmatch.moc"
