#include "platform/text/cp932.h"
#include "platform/text/fold.h"

#include <QTest>

#include <iconv.h>

#include <string>

using namespace qm::text;

class tst_cp932 final : public QObject
{
    Q_OBJECT

private slots:
    void goldenBytes_data();
    void goldenBytes();
    void invalidBytesDecodeToReplacement();
    void unencodableCharactersAreReported();
    void everyDecodedCharacterEncodesBack();
    void tablesAreIconvs();
    void fold_data();
    void fold();
};

void tst_cp932::goldenBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("wave dash row") << QByteArray("\x81\x60") << QStringLiteral("\uFF5E");
    QTest::newRow("circled one") << QByteArray("\x87\x40") << QStringLiteral("①");
    QTest::newRow("hiragana") << QByteArray("\x82\xA0\x82\xA2\x82\xA4") << QStringLiteral("あいう");
    QTest::newRow("half-width katakana") << QByteArray("\xB7\xB0\xDC\xB0\xC4\xDE")
                                         << QStringLiteral("ｷｰﾜｰﾄﾞ");
    QTest::newRow("controls stay") << QByteArray("\x1A\x1C\x7F") << QStringLiteral("\x1A\x1C\x7F");
    QTest::newRow("yen and backslash") << QByteArray("\x5C") << QStringLiteral("\\");
    QTest::newRow("minus sign") << QByteArray("\x81\x7C") << QStringLiteral("\uFF0D");
    QTest::newRow("ibm extension") << QByteArray("\xFA\x40") << QStringLiteral("ⅰ");
}

void tst_cp932::goldenBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp932::decode(bytes), text);
    const cp932::EncodeResult encoded = cp932::encode(text);
    QVERIFY(encoded.ok());
    QCOMPARE(encoded.bytes, bytes);
}

void tst_cp932::invalidBytesDecodeToReplacement()
{
    // A lead byte at the end, a lead byte before a byte that cannot trail, unassigned bytes.
    QCOMPARE(cp932::decode(QByteArray("A\x82")), QStringLiteral("A\uFFFD"));
    QCOMPARE(cp932::decode(QByteArray("\x82\x20" "B")), QStringLiteral("\uFFFD B"));
    QCOMPARE(cp932::decode(QByteArray("\xA0\xFD")), QStringLiteral("\uFFFD\uFFFD"));
    QCOMPARE(cp932::decode(QByteArray("\x85\x40")), QStringLiteral("\uFFFD@"));
}

void tst_cp932::unencodableCharactersAreReported()
{
    const cp932::EncodeResult r = cp932::encode(QStringLiteral("a\u301Cb😀c\u301C"));
    QVERIFY(!r.ok());
    QCOMPARE(r.unencodable, (QList<char32_t>{0x301C, 0x1F600}));
    // What can be stored is kept, and nothing stands in for what cannot.
    QCOMPARE(r.bytes, QByteArray("abc"));
    QVERIFY(!r.bytes.contains('?'));
    QVERIFY(cp932::describe(r.unencodable).contains(QStringLiteral("U+1F600")));
    QCOMPARE(cp932::encodeHtml(u"<p>あ😀\uFFFD</p>"), QByteArray("<p>\x82\xA0&#128512;&#65533;</p>"));
    // A surrogate without its pair is a character CP932 has not, like U+FFFD.
    const QString lone = QStringLiteral("x") + QChar(0xD83D) + QStringLiteral("y");
    QCOMPARE(cp932::encode(lone).unencodable, QList<char32_t>{0xFFFD});
    QCOMPARE(cp932::encodeHtml(lone), QByteArray("x&#65533;y"));

    // The sizes counted beforehand are the sizes made.
    for (const QString &text : {QStringLiteral("a\u301Cb😀c\u301C"), QStringLiteral("<p>ｱあ😀\uFFFD</p>\r\n"), lone,
                                QString(), QStringLiteral("漢字")}) {
        QCOMPARE(cp932::encodedSize(text), cp932::encode(text).bytes.size());
        QCOMPARE(cp932::encodedHtmlSize(text), cp932::encodeHtml(text).size());
    }
}

void tst_cp932::everyDecodedCharacterEncodesBack()
{
    // Every double-byte character decodes to something that encodes to a character that
    // decodes the same way again (duplicates in the table may pick another byte pair).
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(std::uint8_t(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char32_t cp = cp932::decodePair(std::uint8_t(lead), std::uint8_t(trail));
            if (cp == 0xFFFD)
                continue;
            ++pairs;
            const cp932::CharBytes b = cp932::encodeChar(cp);
            QVERIFY2(b.size == 2, qPrintable(QString::number(lead * 256 + trail, 16)));
            QCOMPARE(cp932::decodePair(b.bytes[0], b.bytes[1]), cp);
        }
    }
    QVERIFY(pairs > 7000);
}

namespace {

// What glibc's iconv makes of `in` as a whole; empty when it refuses any part of it.
std::string iconvConvert(iconv_t cd, std::string in)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char *inPtr = in.data();
    std::size_t inLeft = in.size();
    char *outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == std::size_t(-1) || inLeft != 0)
        return {};
    return std::string(buffer, sizeof buffer - outLeft);
}

char32_t iconvDecoded(iconv_t cd, std::string bytes)
{
    const std::string out = iconvConvert(cd, std::move(bytes));
    if (out.size() != 4)
        return 0xFFFD;
    const auto *b = reinterpret_cast<const unsigned char *>(out.data());
    return char32_t(b[0]) | char32_t(b[1]) << 8 | char32_t(b[2]) << 16 | char32_t(b[3]) << 24;
}

} // namespace

// The tables built into the program are the ones iconv gives at run time: every single byte,
// every byte pair, and every character of the BMP that comes back from its bytes as itself.
void tst_cp932::tablesAreIconvs()
{
    const iconv_t decoder = iconv_open("UTF-32LE", "CP932");
    const iconv_t encoder = iconv_open("CP932", "UTF-32LE");
    QVERIFY(decoder != iconv_t(-1) && encoder != iconv_t(-1));
    for (int b = 0; b < 0x100; ++b) {
        const std::string single(1, char(b));
        const bool stands = !iconvConvert(decoder, single).empty();
        QCOMPARE(cp932::decodeSingle(std::uint8_t(b)), stands ? iconvDecoded(decoder, single) : U'\uFFFD');
        bool leads = false;
        for (int t = 0; t < 0x100 && !stands; ++t) {
            const char32_t expected = t < 0x40 ? U'\uFFFD' : iconvDecoded(decoder, {char(b), char(t)});
            leads = leads || expected != 0xFFFD;
            QCOMPARE(cp932::decodePair(std::uint8_t(b), std::uint8_t(t)), expected);
        }
        QCOMPARE(cp932::isLeadByte(std::uint8_t(b)), leads);
    }
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000)
            continue;
        const std::string bytes = iconvConvert(encoder, {char(cp & 0xFF), char(cp >> 8), 0, 0});
        const cp932::CharBytes mine = cp932::encodeChar(cp);
        const std::string made(reinterpret_cast<const char *>(mine.bytes.data()), std::size_t(mine.size));
        QCOMPARE(made, iconvDecoded(decoder, bytes) == cp ? bytes : std::string());
    }
    iconv_close(decoder);
    iconv_close(encoder);
}

void tst_cp932::fold_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("half-width katakana") << QStringLiteral("ｷｰﾜｰﾄﾞ") << QStringLiteral("きーわーど");
    QTest::newRow("katakana") << QStringLiteral("キーワード") << QStringLiteral("きーわーど");
    QTest::newRow("latin case and width") << QStringLiteral("ＡｂC") << QStringLiteral("abc");
    QTest::newRow("voiced half-width") << QStringLiteral("ﾊﾟﾊﾞ") << QStringLiteral("ぱば");
    QTest::newRow("iteration mark") << QStringLiteral("ヽヾ") << QStringLiteral("ゝゞ");
    QTest::newRow("kanji unchanged") << QStringLiteral("漢字") << QStringLiteral("漢字");
}

void tst_cp932::fold()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QCOMPARE(qm::text::fold(a), qm::text::fold(b));
    QCOMPARE(qm::text::fold(b), b);
}

QTEST_GUILESS_MAIN(tst_cp932)
#include "tst_cp932.moc"
