#include "exchangefixture.h"

#include "app/common/storemessages.h"
#include "app/common/exchangemessages.h"
#include "app/exchange/exchangeerror.h"
#include "app/exchange/exporter.h"
#include "app/exchange/importer.h"
#include "app/exchange/htmlwriter.h"
#include "app/exchange/jsonlines.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/rtf.h"

#include <QTextCursor>
#include <QTextDocument>

using namespace qm::exchange;
using namespace qm::exchange::test;

class tst_JsonLines : public QObject
{
    Q_OBJECT

    static QByteArray exported(Dictionary &d, ExportFormat format = ExportFormat::JsonLines)
    {
        QByteArray bytes;
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        exportDictionary(d, out, {format, {}});
        return bytes;
    }

    static qint64 imported(Dictionary &d, QByteArray bytes, const JsonImportOptions &options = {})
    {
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        return importJsonLines(in, d, options);
    }

    // A file of the format: the header of `d`, then the lines given.
    static QByteArray fileOf(const QList<QByteArray> &entryLines)
    {
        QByteArray out = jsonl::headerLine({QStringLiteral("n"), QStringLiteral(" "), QStringLiteral(" "), {}});
        for (const QByteArray &line : entryLines)
            out += line;
        return out;
    }

    static QByteArray goodLine(int number)
    {
        Entry e = makeEntry(Viewer::Text, QStringLiteral("h%1").arg(number), "body");
        e.DocumentNumber = number;
        return jsonl::entryLine(e, {QStringLiteral("k")});
    }

private slots:
    void roundTripIsLossless()
    {
        TempDictionary source;
        source->addEntries(hostileEntries());
        source->deleteEntry(3); // numbers with a gap are kept as they are
        const QByteArray first = exported(*source);
        QCOMPARE(first, exported(*source));

        QTemporaryDir dir;
        const QString copyPath = dir.filePath(QStringLiteral("copy.dic"));
        QBuffer header(const_cast<QByteArray *>(&first));
        header.open(QIODevice::ReadOnly);
        jsonl::createDictionary(copyPath, readJsonHeader(header));
        QCOMPARE(header.pos(), 0);
        Dictionary copy(copyPath);
        QCOMPARE(imported(copy, first), qint64(hostileEntries().size() - 1));

        QCOMPARE(exported(copy), first);
        QCOMPARE(entriesHash(copy), entriesHash(*source));
        QCOMPARE(jsonl::describe(copy), jsonl::describe(*source));
        // Rich text carries its visible text beside the RTF; bytes no CP932 text can hold travel as base64.
        QVERIFY2(first.contains("\"plain\":\"日本 😀 bold\\nnext"), first.constData());
        QVERIFY(first.contains(QByteArray("\"bytes\":\"" + QByteArray("ok\x81\x00\xff" "end", 7).toBase64() + '"')));
        QVERIFY(first.contains("\"date\":null"));
    }

    void importIntoDictionaryWithEntriesNumbersAnew()
    {
        TempDictionary source;
        source->addEntries(hostileEntries());
        TempDictionary target;
        target->addEntry(makeEntry(Viewer::Text, QStringLiteral("old"), "x"), {QStringLiteral("old")});
        target->addEntry(makeEntry(Viewer::Text, QStringLiteral("old2"), "y"), {QStringLiteral("old2")});
        target->deleteEntry(1);
        imported(*target, exported(*source));
        QCOMPARE(target->documentRowCount(), qint64(hostileEntries().size() + 1));
        QCOMPARE(target->document(2)->Heading, QStringLiteral("old2"));
        QCOMPARE(target->document(3)->Heading, QStringLiteral("日本語の見出し"));
        QCOMPARE(target->keywords(3).first(), QStringLiteral("にほんご"));
    }

    void numbersThatDoNotRiseGetNewOnes()
    {
        TempDictionary target;
        imported(*target, fileOf({goodLine(5), goodLine(9), goodLine(7), goodLine(20)}));
        QCOMPARE(target->document(5)->Heading, QStringLiteral("h5"));
        QCOMPARE(target->document(9)->Heading, QStringLiteral("h9"));
        QCOMPARE(target->document(10)->Heading, QStringLiteral("h7"));
        QCOMPARE(target->document(11)->Heading, QStringLiteral("h20"));
    }

    void largestNumberLeavesRoomForMore()
    {
        TempDictionary target;
        imported(*target, fileOf({goodLine(1), goodLine(2147483647), goodLine(5)}));
        QCOMPARE(target->document(2147483647)->Heading, QStringLiteral("h2147483647"));
        QCOMPARE(target->document(2)->Heading, QStringLiteral("h5"));
        QCOMPARE(target->addEntry(makeEntry(Viewer::Text, QStringLiteral("next"), "x"), {}), 3);
    }

    void badLineIsNamedAndNothingChanges_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<QString>("reason");
        const QByteArray good = goodLine(1) + goodLine(2);
        auto bad = [&](const char *name, const QByteArray &line, const char *reason) {
            QTest::newRow(name) << fileOf({good, line}) << qint64(4) << QString::fromUtf8(reason);
        };
        QByteArray g3 = goodLine(3);
        bad("not utf-8", QByteArray(g3).replace("h3", "h\xff"), "UTF-8");
        bad("not json", "{\"number\":3,\n", "JSON");
        bad("nested too deep", "{\"number\":" + QByteArray(100000, '[') + "\n", "JSON");
        bad("too many values", QByteArray(g3).replace("[\"k\"]", QByteArray("[" + QByteArray(1 << 20, '0').replace("0", "0,") + "0]")), "値が多すぎます");
        bad("empty keyword", QByteArray(g3).replace("[\"k\"]", "[\"k\",\"\"]"), "空のキーワード");
        bad("nul keyword", QByteArray(g3).replace("[\"k\"]", "[\"a\\u0000b\"]"), "NUL");
        bad("reserved keyword", QByteArray(g3).replace("[\"k\"]", "[\"a[b\"]"), "使えない文字 \"[\"");
        bad("unknown type", QByteArray(g3).replace("\"type\":1", "\"type\":9"), "種類 9");
        bad("number past the largest", QByteArray(g3).replace("\"number\":3", "\"number\":2147483648"), "項目番号 2147483648 は");
        bad("bad date", QByteArray(g3).replace("2024-02-29T23:59:58", "2024-13-45T99:00:00"), "日付");
        bad("bad base64", QByteArray(g3).replace("{\"text\":\"body\"}", "{\"bytes\":\"@@@\"}"), "base64");
        bad("refused object",
            QByteArray(g3).replace("\"type\":1", "\"type\":5")
                .replace("{\"text\":\"body\"}", QByteArray("{\"object\":{\"kind\":\"embedded\",\"name\":\"a\",\"mimeType\":\""
                                                             + QByteArray(300, 'x') + "\",\"data\":\"\"}}")),
            "オブジェクトを復元できません");
        bad("unknown object kind",
            QByteArray(g3).replace("\"type\":1", "\"type\":5")
                .replace("{\"text\":\"body\"}", "{\"object\":{\"kind\":\"ole\",\"name\":\"a\",\"mimeType\":\"b\"}}"),
            "種類 \"ole\"");
        bad("unencodable address", QByteArray(g3).replace("\"type\":1", "\"type\":3").replace("\"body\"}", "\"😀\"}"), "CP932");
        bad("missing field", QByteArray(g3).replace("\"heading\"", "\"head\""), "\"heading\"");
        QTest::newRow("truncated last line") << fileOf({good, g3.chopped(1)}) << qint64(4) << QStringLiteral("途中で切れて");
        QTest::newRow("truncated inside") << fileOf({good, g3.left(20)}) << qint64(4) << QStringLiteral("途中で切れて");
        QTest::newRow("no header") << good << qint64(1) << QStringLiteral("この形式のファイルではありません");
        QTest::newRow("other version") << QByteArray(fileOf({good})).replace("\"version\":1", "\"version\":2") << qint64(1)
                                       << QStringLiteral("版 2");
    }

    void badLineIsNamedAndNothingChanges()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, line);
        QFETCH(QString, reason);
        TempDictionary target;
        target->addEntries(hostileEntries());
        const QByteArray before = entriesHash(*target);
        try {
            imported(*target, file);
            QFAIL("the import succeeded");
        } catch (const ExchangeError &e) {
            QCOMPARE(e.line(), line);
            QVERIFY2(qm::app::exchangeReason(e.reason()).contains(reason), qPrintable(qm::app::exchangeMessage(e)));
            QVERIFY(qm::app::exchangeMessage(e).startsWith(QString::number(line) + QStringLiteral(" 行目: ")));
        }
        QCOMPARE(entriesHash(*target), before);
        QVERIFY(!target->inEditSession());
        // The dictionary stays usable.
        target->addEntry(makeEntry(Viewer::Text, QStringLiteral("after"), "x"), {QStringLiteral("after")});
    }

    void limitsAreKept()
    {
        TempDictionary target;
        const QByteArray before = entriesHash(*target);
        JsonImportOptions small;
        small.maxLineBytes = 1000;
        Entry large = makeEntry(Viewer::Text, QStringLiteral("h"), QByteArray(5000, 'a'));
        large.DocumentNumber = 2;
        const QByteArray longLine = jsonl::entryLine(large, {QStringLiteral("k")});
        for (const auto &[options, reason] : {std::pair{small, QStringLiteral("長すぎます")},
                                              std::pair{JsonImportOptions{1 << 20, {4000}, {}}, QStringLiteral("大きすぎます")}}) {
            try {
                imported(*target, fileOf({goodLine(1), longLine}), options);
                QFAIL("the import succeeded");
            } catch (const ExchangeError &e) {
                QCOMPARE(e.line(), 3);
                QVERIFY2(qm::app::exchangeReason(e.reason()).contains(reason), qPrintable(qm::app::exchangeMessage(e)));
            }
            QCOMPARE(entriesHash(*target), before);
        }
    }

    // A body exactly at the limit is read in each form; one byte more is refused, and a line
    // longer than any entry within the limit could be is refused without being parsed.
    void bodyLimitIsExactInEveryForm()
    {
        const jsonl::Limits limits{1000};
        const QByteArray emoji = qm::text::cp932::encodeHtml(QStringLiteral("😀"));
        const std::pair<Viewer, QByteArray> bodies[] = {{Viewer::Text, QByteArray(999, 'a')},
                                                        {Viewer::Html, QByteArray(999 - emoji.size(), 'a') + emoji},
                                                        {Viewer::Text, QByteArray("\x81") + QByteArray(998, 'a')}};
        for (const auto &[viewer, body] : bodies) {
            for (const QByteArray &extra : {QByteArray("b"), QByteArray("bc")}) {
                Entry e = makeEntry(viewer, QStringLiteral("h"), body + extra);
                e.DocumentNumber = 1;
                QByteArray line = jsonl::entryLine(e, {});
                line.chop(1);
                try {
                    QCOMPARE(jsonl::parseLine(line, limits).record.entry.Document, e.Document);
                    QCOMPARE(extra.size(), 1);
                } catch (const ExchangeError &error) {
                    QVERIFY2(extra.size() == 2 && qm::app::exchangeReason(error.reason()).contains(QStringLiteral("大きすぎます")), qPrintable(qm::app::exchangeReason(error.reason())));
                }
            }
        }
        // The heading and keywords together, in UTF-8, are held to a limit of their own.
        Entry named = makeEntry(Viewer::Text, QStringLiteral("見"), "body");
        named.DocumentNumber = 1;
        const QByteArray namedLine = jsonl::entryLine(named, {QStringLiteral("日本")}).chopped(1);
        jsonl::Limits fields;
        fields.maxFieldBytes = 9;
        QCOMPARE(jsonl::parseLine(namedLine, fields).record.keywords, QStringList{QStringLiteral("日本")});
        fields.maxFieldBytes = 8;
        QVERIFY_THROWS_EXCEPTION(ExchangeError, jsonl::parseLine(namedLine, fields));
        QByteArray padded = goodLine(1).chopped(1);
        padded.append(QByteArray(jsonl::maxLineBytes(limits) - padded.size(), ' '));
        QCOMPARE(jsonl::parseLine(padded, limits).record.entry.Heading, QStringLiteral("h1"));
        QVERIFY_THROWS_EXCEPTION(ExchangeError, jsonl::parseLine(padded + ' ', limits));
    }

    // Text is decoded in pieces: a character at the seam of two, escaped or not, arrives whole.
    void longTextArrivesWhole()
    {
        const qsizetype seam = 64 * 1024;
        for (const QByteArray &character : {QByteArray("\\ud83d\\ude00"), QByteArray("😀"), QByteArray("\\n")}) {
            const QByteArray text = QByteArray(seam - 1, 'a') + character + "z";
            QByteArray line = "{\"number\":1,\"type\":4,\"heading\":\"h\",\"keywords\":[],\"date\":null,\"body\":{\"text\":\"" + text + "\"}}";
            const QString expected = QString(seam - 1, u'a') + (character == "\\n" ? QStringLiteral("\n") : QStringLiteral("😀")) + u'z';
            QCOMPARE(jsonl::parseLine(line, {}).record.entry.Document, qm::text::cp932::encodeHtml(expected));
        }
    }

    // Any JSON that says the same reads the same: spaces, escaped keys and "\/", numbers in
    // another notation, a repeated key (the last counts).
    void otherJsonWritersAreRead()
    {
        const jsonl::Record written = jsonl::parseLine(goodLine(12).chopped(1), {}).record;
        const std::pair<QByteArray, QByteArray> lines[] = {
            {" {\t\"number\" : 1.2e1 , \"type\":1,\"heading\":\"h12\",\"keywords\":[ \"k\" ],"
             "\"date\":\"2024-02-29T23:59:58\",\"body\":{\"text\":\"a\\/b\"} }\r",
             "a/b"},
            {"{\"n\\u0075mber\":12,\"type\":1,\"heading\":\"x\",\"heading\":\"h\\u0031\\u0032\",\"keywords\":[\"k\"],"
             "\"date\":\"2024-02-29T23:59:58\",\"body\":{\"text\":\"body\"}}",
             "body"}};
        for (const auto &[line, body] : lines) {
            const jsonl::Record read = jsonl::parseLine(line, {}).record;
            QCOMPARE(read.entry.DocumentNumber, written.entry.DocumentNumber);
            QCOMPARE(read.entry.Heading, written.entry.Heading);
            QCOMPARE(read.keywords, written.keywords);
            QCOMPARE(read.entry.Document, body);
        }
    }

    // Lines longer than the reader's block are handed over whole, and the lines after them are
    // read from where they start.
    void longLinesAndTheLinesAfterThem()
    {
        TempDictionary target;
        QList<QByteArray> lines;
        for (int i = 1; i <= 6; ++i) {
            Entry e = makeEntry(Viewer::Text, QStringLiteral("h%1").arg(i), QByteArray(i % 2 ? 10 : 300000 * i, char('a' + i)));
            e.DocumentNumber = i;
            lines.append(jsonl::entryLine(e, {QStringLiteral("k")}));
        }
        QCOMPARE(imported(*target, fileOf(lines)), 6);
        for (int i = 1; i <= 6; ++i)
            QCOMPARE(target->document(i)->Document, QByteArray(i % 2 ? 10 : 300000 * i, char('a' + i)));
    }

    void fullDiskAndCancelRollBack()
    {
        TempDictionary target;
        target->addEntries(hostileEntries());
        const QByteArray before = entriesHash(*target);
        QList<QByteArray> lines;
        for (int i = 1; i <= 2000; ++i)
            lines.append(goodLine(i));
        const QByteArray file = fileOf(lines);

        JsonImportOptions cancelling;
        cancelling.progress = [](qint64 done, qint64) { return done < 30000; };
        QVERIFY_THROWS_EXCEPTION(ExchangeError, imported(*target, file, cancelling));
        QCOMPARE(entriesHash(*target), before);

        target->database().exec("PRAGMA max_page_count = 40");
        try {
            imported(*target, file);
            QFAIL("the import succeeded");
        } catch (const ExchangeError &e) {
            QVERIFY2(e.line() > 1 && e.line() <= 2001, qPrintable(qm::app::exchangeMessage(e)));
            QVERIFY2(qm::app::exchangeReason(e.reason()).contains(QStringLiteral("書き込めません")), qPrintable(qm::app::exchangeMessage(e)));
        }
        QCOMPARE(entriesHash(*target), before);
    }

    void setAndResultRows()
    {
        QTemporaryDir dir;
        QStringList paths;
        for (const QString &name : {QStringLiteral("A"), QStringLiteral("B")}) {
            paths.append(dir.filePath(name + QStringLiteral(".dic")));
            Dictionary::CreateDictionary(paths.last(), name, {}, {}, {});
            Dictionary(paths.last()).addEntries(hostileEntries());
        }
        qm::desktop::ScriptedPrompter prompter;
        qm::store::DatabaseModule module(qm::app::storeHost(prompter), dir.path());
        module.sets().add(qm::store::DictionarySet(QStringLiteral("セット"), paths));
        module.sets().choose(0);
        module.OpenDictionarySet();
        Dictionary &a = *module.dictionary(0);
        Dictionary &b = *module.dictionary(1);

        QByteArray set;
        QBuffer setOut(&set);
        setOut.open(QIODevice::WriteOnly);
        exportSet(module, setOut);
        QCOMPARE(set, exported(a) + exported(b));

        // Rows come by dictionary and number, each once; rows naming nothing are passed over.
        QByteArray rows;
        QBuffer rowsOut(&rows);
        rowsOut.open(QIODevice::WriteOnly);
        exportRows(module, {{1, 2}, {0, 5}, {1, 2}, {0, 1}, {7, 1}, {0, 999}}, rowsOut);
        QCOMPARE(rows, jsonl::headerLine(jsonl::describe(a)) + jsonl::entryLine(*a.document(1), a.keywords(1))
                           + jsonl::entryLine(*a.document(5), a.keywords(5)) + jsonl::headerLine(jsonl::describe(b))
                           + jsonl::entryLine(*b.document(2), b.keywords(2)));

        // Both sections go into one dictionary: the second's numbers do not rise, so they are new.
        TempDictionary merged;
        const qint64 count = qint64(hostileEntries().size());
        QCOMPARE(imported(*merged, set), 2 * count);
        QCOMPARE(merged->document(count + 1)->Heading, a.document(1)->Heading);
    }

    void richTextPicturesAreInlined()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        cursor.insertText(QStringLiteral("絵 "));
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("picture")), image);
        cursor.insertImage(QStringLiteral("picture"));
        const QString rtf = qm::rtf::toRtf(document);
        QVERIFY(rtf.contains(QStringLiteral("\\pict")));
        const QString page = html::richTextToHtml(rtf);
        QVERIFY2(page.contains(QStringLiteral("<img src=\"data:image/png;base64,")), qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("絵")));
    }

    void htmlPageIsEscapedAndSelfContained()
    {
        TempDictionary source(QStringLiteral("<b>辞書</b>"));
        source->addEntries(hostileEntries());
        const QString page = QString::fromUtf8(exported(*source, ExportFormat::Html));
        QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>")));
        QVERIFY(page.contains(QStringLiteral("<title>&lt;b&gt;辞書&lt;/b&gt;</title>")));
        QVERIFY(page.contains(QStringLiteral("<h2>&lt;url&gt; &amp; &#39;quote&#39;</h2>")));
        QVERIFY(page.contains(QStringLiteral("<a href=\"https://example.org/?a=1&amp;b=&quot;2&quot;\">")));
        // Markup of a body never reaches the page as markup: it sits escaped in a sandboxed frame.
        QVERIFY(!page.contains(QStringLiteral("<script>")));
        QVERIFY(page.contains(QStringLiteral("sandbox=\"\"")));
        QVERIFY(page.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
        QVERIFY(page.contains(QStringLiteral("src=\"data:image/png;base64,") + QString::fromLatin1(pngBytes().toBase64())));
        QVERIFY(page.contains(QStringLiteral("日本")));
        QVERIFY(page.contains(QStringLiteral("<span>back\\slash</span>")));
    }
};

QTEST_MAIN(tst_JsonLines)
#include "tst_jsonlines.moc"
