#include "exchangefixture.h"

#include "app/exchange/exchangeerror.h"
#include "app/exchange/wordlist.h"

using namespace qm::exchange;
using namespace qm::exchange::test;
using namespace qm::exchange::wordlist;

class tst_WordList : public QObject
{
    Q_OBJECT

    static qint64 imported(Dictionary &d, QByteArray bytes, const Options &options = {})
    {
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        return importWordList(in, d, options);
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
                                           QStringLiteral("蜜柑 \"温州\"|みかん|一行目\n二行目"),
                                           QStringLiteral("ぶどう|ぶどう|"), QStringLiteral("梨|なし|")}));
    }

    void cp932TsvWithMappedColumns()
    {
        TempDictionary d;
        Options options;
        options.delimiter = u'\t';
        options.columns = {Column::Skip, Column::Heading, Column::Date, Column::Keyword};
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
        QCOMPARE(imported(*d, "a,林檎,1\nb,梨,2\nc,梨,3\n", options), 1);
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
        QTest::newRow("unencodable") << good + "k,h,😀" << qint64(4) << QStringLiteral("CP932");
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
            QVERIFY2(e.reason().contains(reason), qPrintable(e.message()));
        }
        QCOMPARE(entriesHash(*d), before);
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
