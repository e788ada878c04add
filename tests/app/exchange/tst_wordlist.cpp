#include "exchangefixture.h"

#include "app/common/exchangemessages.h"
#include "app/exchange/exchangeerror.h"
#include "app/exchange/exporter.h"
#include "app/exchange/wordlist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace qm::exchange;
using namespace qm::exchange::test;
using namespace qm::exchange::wordlist;

class tst_WordList : public QObject
{
    Q_OBJECT

    static qint64 imported(Dictionary &d, QByteArray bytes, const Options &options = {}, ImportTally *tally = nullptr)
    {
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        return importWordList(in, d, options, tally);
    }

    // Each entry as "heading|keyword,keyword|body" in number order.
    static QStringList stored(Dictionary &d)
    {
        QStringList out;
        for (qint32 n = 1; n <= 100; ++n)
            if (const std::optional<Entry> e = d.document(n))
                out.append(e->Heading + u'|' + d.keywords(n).join(u',') + u'|' + qm::text::cp932::decode(e->Document));
        return out;
    }

private slots:
    void spreadsheetCsvInUtf8WithBom()
    {
        TempDictionary d;
        Options options;
        options.headerRow = true;
        options.keywordSeparator = QStringLiteral(";");
        const QByteArray file = "\xEF\xBB\xBF" "キーワード,見出し,本文\r\n"
                                "りんご;林檎,林檎,\"赤い, 丸い\"\r\n"
                                "\"みかん\",\"蜜柑 \"\"温州\"\"\",\"一行目\r\n二行目\"\r\n"
                                ",,\r\n"
                                "ぶどう,,\r\n"
                                "なし,梨,\"\"\r\n";
        QCOMPARE(imported(*d, file, options), 4);
        QCOMPARE(stored(*d), (QStringList{QStringLiteral("林檎|りんご,林檎|赤い, 丸い"),
                                           QStringLiteral("蜜柑 \"温州\"|みかん|一行目\r\n二行目"),
                                           QStringLiteral("ぶどう|ぶどう|"), QStringLiteral("梨|なし|")}));
    }

    void cp932TsvWithMappedColumns()
    {
        TempDictionary d;
        Options options;
        options.delimiter = u'\t';
        options.columns = {Column::Skip, Column::Heading, Column::Date, Column::Keyword, Column::Skip};
        // "ソ" and "表" end in the byte of a backslash: only a CP932 reader keeps them whole.
        const QByteArray file = cp932(QStringLiteral("x\tソ表\t2023/4/5 6:07\tそひょう\tignored\nx\tｶﾅ\t2023-04-05\tかな"));
        QBuffer probe(const_cast<QByteArray *>(&file));
        probe.open(QIODevice::ReadOnly);
        QCOMPARE(detectEncoding(probe), Encoding::Cp932);
        QCOMPARE(probe.pos(), 0);
        QCOMPARE(imported(*d, file, options), 2);
        QCOMPARE(stored(*d), (QStringList{QStringLiteral("ソ表|そひょう|"), QStringLiteral("ｶﾅ|かな|")}));
        QCOMPARE(d->document(1)->RenewalDate, QDateTime(QDate(2023, 4, 5), QTime(6, 7)));
        QCOMPARE(d->document(2)->RenewalDate, QDateTime(QDate(2023, 4, 5), QTime(0, 0)));
    }

    void encodingIsDecidedByMarkThenValidity()
    {
        const auto detect = [](QByteArray bytes) {
            QBuffer b(&bytes);
            b.open(QIODevice::ReadOnly);
            return detectEncoding(b);
        };
        QCOMPARE(detect("\xEF\xBB\xBF\x82\xa0"), Encoding::Utf8);
        QCOMPARE(detect(QStringLiteral("あいう").toUtf8()), Encoding::Utf8);
        QCOMPARE(detect(QStringLiteral("あいう").toUtf8().chopped(1)), Encoding::Cp932);
        QCOMPARE(detect(cp932(QStringLiteral("あいう"))), Encoding::Cp932);
    }

    void duplicateHeadingsAreSkippedOnRequest()
    {
        TempDictionary d;
        d->addEntry(makeEntry(Viewer::Text, QStringLiteral("林檎"), "x"), {QStringLiteral("old")});
        Options options;
        options.duplicates = Duplicates::Skip;
        ImportTally tally;
        QCOMPARE(imported(*d, "a,林檎,1\nb,梨,2\nc,梨,3\n", options, &tally), 1);
        QCOMPARE(tally.skipped, 2);
        QCOMPARE(stored(*d), (QStringList{QStringLiteral("林檎|old|x"), QStringLiteral("梨|b|2")}));
        options.duplicates = Duplicates::Add;
        QCOMPARE(imported(*d, "a,林檎,1\n", options), 1);
    }

    void previewShowsRowsAsStored()
    {
        QByteArray file = "k,見出し\n\"x\ny\",h2\nk3,h3\n";
        QBuffer in(&file);
        in.open(QIODevice::ReadOnly);
        const std::vector<Row> rows = preview(in, Options{}, 2);
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows[1].line, 2);
        QCOMPARE(rows[1].record.keywords, QStringList{QStringLiteral("x\ny")});
        QCOMPARE(rows[1].record.entry.Heading, QStringLiteral("h2"));
        QCOMPARE(in.pos(), 0);
        QCOMPARE(columnCount(in, Options{}, 3), 2);
        QCOMPARE(in.pos(), 0);
    }

    // A row that cannot be read ends a preview, which still leaves the file where it was, so that
    // a preview with other options, or the import, reads it from the start.
    void failedPreviewLeavesFileInPlace()
    {
        QByteArray file = "a,b\n\"open,c\n";
        QBuffer in(&file);
        in.open(QIODevice::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(ExchangeError, preview(in, Options{}, 5));
        QCOMPARE(in.pos(), 0);
        QVERIFY_THROWS_EXCEPTION(ExchangeError, columnCount(in, Options{}, 5));
        QCOMPARE(in.pos(), 0);
        QCOMPARE(preview(in, Options{}, 1).size(), size_t(1));
    }

    void badRowIsNamedAndNothingChanges_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<QString>("reason");
        const QByteArray good = "a,b,c\r\n\"multi\nline\",h,b\r\n";
        QTest::newRow("open quote") << good + "k,\"h,b\r\nmore" << qint64(4) << QStringLiteral("引用符");
        QTest::newRow("reserved") << good + "k[1],h,b" << qint64(4) << QStringLiteral("使えない文字");
        QTest::newRow("nothing") << good + ",,body" << qint64(4) << QStringLiteral("キーワードも見出しも");
        QTest::newRow("bad date") << good + "k,h,b,2024/02/30" << qint64(4) << QStringLiteral("日付");
    }

    void badRowIsNamedAndNothingChanges()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, line);
        QFETCH(QString, reason);
        TempDictionary d;
        d->addEntries(hostileEntries());
        const QByteArray before = entriesHash(*d);
        Options options;
        options.columns.append(Column::Date);
        try {
            imported(*d, file, options);
            QFAIL("the import succeeded");
        } catch (const ExchangeError &e) {
            QCOMPARE(e.line(), line);
            QVERIFY2(qm::app::exchangeReason(e.reason()).contains(reason), qPrintable(qm::app::exchangeMessage(e)));
        }
        QCOMPARE(entriesHash(*d), before);
    }

    // A large list whose bodies now and then hold characters CP932 lacks imports whole: those
    // bodies become rich text, headings and keywords keep them, and an export gives them back.
    void unencodableTextIsKeptWhole()
    {
        constexpr int Rows = 200000;
        constexpr int Every = 1000;
        const auto cells = [](int i) {
            const bool odd = i % Every == 0;
            return QStringList{QStringLiteral("k%1%2").arg(odd ? QStringLiteral("ō") : QString()).arg(i),
                               QStringLiteral("h%1%2").arg(odd ? QStringLiteral("é") : QString()).arg(i),
                               odd ? QStringLiteral("Tōkyō café ū 😀 %1\r\n次の行").arg(i) : QStringLiteral("本文%1").arg(i)};
        };
        QByteArray file;
        for (int i = 0; i < Rows; ++i) {
            const QStringList c = cells(i);
            file += (c[0] + u',' + c[1] + QStringLiteral(",\"") + c[2] + QStringLiteral("\"\n")).toUtf8();
        }
        TempDictionary d;
        ImportTally tally;
        QCOMPARE(imported(*d, file, {}, &tally), Rows);
        QCOMPARE(tally.asRichText, Rows / Every);
        QCOMPARE(d->document(1)->Viewer, qm::store::viewerCode(Viewer::RichText));
        QCOMPARE(d->document(2)->Viewer, qm::store::viewerCode(Viewer::Text));
        // A control character, which RTF does not carry, makes such a body HTML instead.
        TempDictionary d2;
        QCOMPARE(imported(*d2, "k,h,\"😀\x01\"\n", {}, &tally), 1);
        QCOMPARE(tally.asHtml, 1);
        QVERIFY(d2->document(1)->Document.contains("&#128512;\x01"));

        // The export of every converted entry and of a sample of the others.
        QList<qint32> numbers;
        for (int i = 0; i < Rows; i += Every / 4)
            numbers.append(i + 1);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        exportEntries(*d, numbers, out);
        const QList<QByteArray> lines = out.data().split('\n');
        QCOMPARE(lines.size(), numbers.size() + 2);
        for (qsizetype n = 0; n < numbers.size(); ++n) {
            const QJsonObject entry = QJsonDocument::fromJson(lines[n + 1]).object();
            const QJsonObject body = entry.value(QStringLiteral("body")).toObject();
            const QStringList c = cells(numbers[n] - 1);
            const QString text = body.contains(QStringLiteral("plain")) ? body.value(QStringLiteral("plain")).toString()
                                                                         : body.value(QStringLiteral("text")).toString();
            QCOMPARE(entry.value(QStringLiteral("keywords")).toArray().first().toString(), c[0]);
            QCOMPARE(entry.value(QStringLiteral("heading")).toString(), c[1]);
            QCOMPARE(text, QString(c[2]).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        }
    }

    // Spreadsheets that end lines with a lone CR: each CR ends a row; inside quotes the line end
    // stays as the file has it.
    void anyLineEndEndsARow()
    {
        TempDictionary d;
        QCOMPARE(imported(*d, "k1,h1,b1\rk2,h2,b2\r\nk3,h3,\"x\ry\r\nz\"\rk4,h4,b4"), 4);
        QCOMPARE(stored(*d), (QStringList{QStringLiteral("h1|k1|b1"), QStringLiteral("h2|k2|b2"),
                                           QStringLiteral("h3|k3|x\ry\r\nz"), QStringLiteral("h4|k4|b4")}));
    }

    // Every row that cannot be stored is named in one pass: the first 20, and how many in all.
    void everyRefusedRowIsListed()
    {
        QByteArray file = "k,h,b\n";
        for (int i = 0; i < 25; ++i)
            file += "k,h," + cp932(QStringLiteral("本文")) + "\n";
        file += "k,h,b,extra\nonly one cell\n";
        TempDictionary d;
        Options options;
        options.encoding = Encoding::Utf8;
        try {
            imported(*d, file, options);
            QFAIL("the import succeeded");
        } catch (const ExchangeError &e) {
            QCOMPARE(e.line(), 2);
            QCOMPARE(e.count(), 27);
            const QString message = qm::app::exchangeMessage(e);
            QVERIFY2(message.startsWith(QStringLiteral("取り込めない行が 27 行あります。\n2 行目: 5 文字目に UTF-8 として読めないバイト (0x96)")),
                     qPrintable(message));
            QVERIFY(message.contains(QStringLiteral("\n21 行目: ")));
            QVERIFY(!message.contains(QStringLiteral("\n22 行目: ")));
            QVERIFY(message.endsWith(QStringLiteral("ほかに 7 行あります。")));
        }
        QCOMPARE(d->documentRowCount(), 0);

        // The other problems alone, each with its line.
        const auto firstProblem = [&](const QByteArray &bytes, const Options &o) {
            try {
                imported(*d, bytes, o);
            } catch (const ExchangeError &e) {
                return qm::app::exchangeMessage(e);
            }
            return QString();
        };
        QVERIFY(firstProblem("k,h,b\nk,h,b,extra\n", {}).startsWith(QStringLiteral("2 行目: 4 列目にも値があります")));
        QVERIFY(firstProblem("k,h,b\nonly one cell\n", {}).startsWith(QStringLiteral("2 行目: 区切り文字 (,) がなく")));
        Options cp932Options;
        cp932Options.encoding = Encoding::Cp932;
        QVERIFY(firstProblem("k,h,ab\x81\n", cp932Options).startsWith(QStringLiteral("1 行目: 7 文字目に CP932 として読めない")));
        // Cells mapped away, and empty cells beyond the columns, are no problem.
        Options skipped;
        skipped.columns.append(Column::Skip);
        QCOMPARE(imported(*d, "k,h,b,extra\nk2,h2,b2,,\n", skipped), 2);
    }

    void guessNamesTheLineThatIsNoUtf8()
    {
        QByteArray file = "a,b\r\nc\rd,\"e\n" + cp932(QStringLiteral("表")) + "\"\n";
        QBuffer in(&file);
        in.open(QIODevice::ReadOnly);
        const EncodingGuess guess = guessEncoding(in);
        QCOMPARE(guess.encoding, Encoding::Cp932);
        QCOMPARE(guess.brokenLine, 4);
        QCOMPARE(in.pos(), 0);
    }

    void columnNames()
    {
        QCOMPARE(columnsFromText(u"keyword, Heading,body,date,skip"),
                 (QList<Column>{Column::Keyword, Column::Heading, Column::Body, Column::Date, Column::Skip}));
        QVERIFY(!columnsFromText(u"keyword,title"));
    }
};

QTEST_MAIN(tst_WordList)
#include "tst_wordlist.moc"
