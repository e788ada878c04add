#include "tests/app/exchange/exchangefixture.h"

#include "tests/app/cli/exchangerun.h"

#include <QTextStream>

using namespace qm::exchange::test;

class tst_ExchangeCommand : public ExchangeRunTest
{
    Q_OBJECT

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void exportAndImportBack()
    {
        TempDictionary source;
        source->addEntries(hostileEntries());
        const QString out = source.dir.filePath(QStringLiteral("out.jsonl"));
        QCOMPARE(run({QStringLiteral("--export"), source.path, out}), 0);
        QVERIFY(m_messages.contains(QStringLiteral("100%")));

        const QString copy = source.dir.filePath(QStringLiteral("new.dic"));
        QCOMPARE(run({QStringLiteral("--import"), out, copy}), 0);
        Dictionary imported(copy);
        QCOMPARE(entriesHash(imported), entriesHash(*source));
        QCOMPARE(imported.property(QStringLiteral("DictionaryName")).toString(), QStringLiteral("試験 \"辞書\""));

        const QString page = source.dir.filePath(QStringLiteral("page.html"));
        QCOMPARE(run({QStringLiteral("--export"), source.path, page}), 0);
        QVERIFY(readAll(page).startsWith("<!DOCTYPE html>"));
    }

    void failuresLeaveNothingBehind()
    {
        TempDictionary d;
        d->addEntries(hostileEntries());
        const QByteArray before = entriesHash(*d);
        const QString bad = d.dir.filePath(QStringLiteral("bad.jsonl"));
        write(bad, "{\"format\":\"quillmere-dictionary\",\"version\":1,\"name\":\"x\",\"properties\":{\"author\":\" \","
                   "\"comment\":\" \",\"nameLock\":false,\"authorLock\":false,\"commentLock\":false}}\nnot json\n");
        QCOMPARE(run({QStringLiteral("--import"), bad, d.path}), 1);
        QVERIFY2(m_messages.contains(QStringLiteral("2 行目: JSON")), qPrintable(m_messages));
        QCOMPARE(entriesHash(*d), before);

        // A dictionary made for a failed import is not left behind.
        const QString fresh = d.dir.filePath(QStringLiteral("fresh.dic"));
        QCOMPARE(run({QStringLiteral("--import"), bad, fresh}), 1);
        QVERIFY(!QFileInfo::exists(fresh));

        const QString missing = d.dir.filePath(QStringLiteral("missing.dic"));
        const QString out = d.dir.filePath(QStringLiteral("out.jsonl"));
        QCOMPARE(run({QStringLiteral("--export"), missing, out}), 1);
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(!QFileInfo::exists(missing));
    }

    // A new dictionary is made at the real file behind a link, and nowhere a folder is missing or
    // links go round in a circle.
    void newDictionaryGoesWhereTheNameLeads()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("in.csv"));
        write(csv, "k,h,b\n");
        const QString real = dir.filePath(QStringLiteral("real.dic"));
        const QString link = dir.filePath(QStringLiteral("link.dic"));
        QVERIFY(QFile::link(real, link));
        QCOMPARE(run({QStringLiteral("--import"), csv, link}), 0);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(Dictionary(real).documentRowCount(), 1);

        const QString loop = dir.filePath(QStringLiteral("loop.dic"));
        QVERIFY(QFile::link(loop, loop));
        const QString unmade = dir.filePath(QStringLiteral("no/such/folder/new.dic"));
        for (const QString &target : {loop, unmade}) {
            QCOMPARE(run({QStringLiteral("--import"), csv, target}), 1);
            QVERIFY2(m_messages.contains(QStringLiteral("辞書は作っていません")), qPrintable(m_messages));
        }
        QVERIFY(m_messages.contains(QStringLiteral("フォルダー")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no"))));
    }

    // Refused before anything is read or made, with the usage: the values of the two commands
    // with their own usage, a command line the program cannot read with the pointer to the help.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        const auto row = [](const char *name, const char *named, std::initializer_list<const char *> words) {
            QStringList arguments;
            for (const char *word : words)
                arguments << QString::fromUtf8(word);
            QTest::newRow(name) << arguments << QString::fromUtf8(named);
        };
        row("export to csv", ".jsonl と .html", {"--export", "a.dic", "b.csv"});
        row("import from txt", ".jsonl、.csv、.tsv", {"--import", "a.txt", "b.dic"});
        row("missing argument", "出力ファイルを指定", {"--export", "a.dic"});
        row("unknown column", "keyword,title", {"--import", "a.csv", "b.dic", "--columns", "keyword,title"});
        row("empty separator", "--keyword-separator が空", {"--import", "a.csv", "b.dic", "--keyword-separator", ""});
        row("unknown encoding", "utf-8 か cp932", {"--import", "a.csv", "b.dic", "--encoding", "latin1"});
        row("unknown duplicates", "add か skip", {"--import", "a.tsv", "b.dic", "--duplicates", "keep"});
        row("value missing", "--duplicates のあと", {"--import", "a.tsv", "b.dic", "--duplicates"});
        row("list option for jsonl", "--header は CSV/TSV", {"--import", "a.jsonl", "b.dic", "--header"});
        row("first list option named", "--encoding は CSV/TSV", {"--import", "a.jsonl", "b.dic", "--header", "--encoding", "cp932"});
        row("option of the other command", "--columns は --import", {"--export", "a.dic", "b.html", "--columns", "keyword"});
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        QCOMPARE(run(arguments), 2);
        QVERIFY2(m_messages.contains(named) && m_messages.contains(QStringLiteral("使い方")), qPrintable(m_messages));
        QVERIFY(!QFileInfo::exists(QStringLiteral("b.dic")));
    }

    // A plain-text body outside CP932 in either format is stored as rich text, and the report
    // counts them.
    void unencodableBodiesAreCounted()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("list.csv"));
        write(csv, QStringLiteral("k1,h1,Tōkyō\nk2,h2,plain\n").toUtf8());
        const QString jsonl = dir.filePath(QStringLiteral("list.jsonl"));
        write(jsonl, "{\"format\":\"quillmere-dictionary\",\"version\":1,\"name\":\"x\",\"properties\":{\"author\":\" \","
                     "\"comment\":\" \",\"nameLock\":false,\"authorLock\":false,\"commentLock\":false}}\n"
                     "{\"number\":1,\"type\":1,\"heading\":\"h\",\"keywords\":[\"k\"],\"date\":null,\"body\":{\"text\":\"😀\"}}\n");
        for (const QString &in : {csv, jsonl}) {
            const QString dic = dir.filePath(QFileInfo(in).suffix() + QStringLiteral(".dic"));
            QCOMPARE(run({QStringLiteral("--import"), in, dic}), 0);
            QVERIFY2(m_messages.contains(QStringLiteral("本文に CP932 で表せない文字があるため、そのうち 1 件はリッチテキストとして保存しました")),
                     qPrintable(m_messages));
            Dictionary d(dic);
            QCOMPARE(d.document(1)->Viewer, qm::store::viewerCode(Viewer::RichText));
            QVERIFY(d.document(1)->Document.contains(QFileInfo(in).suffix() == QLatin1String("csv") ? "T\\u333?ky" : "\\u-10179?"));
        }
    }

    // Every line that cannot be read is named in one pass, in either format.
    void everyBadLineIsNamed()
    {
        QTemporaryDir dir;
        const QString jsonl = dir.filePath(QStringLiteral("bad.jsonl"));
        write(jsonl, "{\"format\":\"quillmere-dictionary\",\"version\":1,\"name\":\"x\",\"properties\":{\"author\":\" \","
                     "\"comment\":\" \",\"nameLock\":false,\"authorLock\":false,\"commentLock\":false}}\nnot json\n[]\n");
        const QString csv = dir.filePath(QStringLiteral("bad.csv"));
        write(csv, "a,b,c\n" + cp932(QStringLiteral("表,b,c\nd,e,f,g\n")));
        QCOMPARE(run({QStringLiteral("--import"), jsonl, dir.filePath(QStringLiteral("j.dic"))}), 1);
        QVERIFY2(m_messages.contains(QStringLiteral("取り込めない行が 2 行あります。\n2 行目: JSON")) && m_messages.contains(QStringLiteral("\n3 行目: JSON")),
                 qPrintable(m_messages));
        QCOMPARE(run({QStringLiteral("--import"), csv, dir.filePath(QStringLiteral("c.dic"))}), 1);
        QVERIFY2(m_messages.startsWith(QStringLiteral("2 行目が UTF-8 ではないので、CP932 として読みます\n")), qPrintable(m_messages));
        QVERIFY2(m_messages.contains(QStringLiteral("bad.csv: 3 行目: 4 列目にも値があります")), qPrintable(m_messages));
    }

    void wordListWithOptions()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("list.csv"));
        write(csv, cp932(QStringLiteral("見出し,キーワード\r\n表示,ひょうじ;ヒョウジ\r\n表示,ほか\r\n")));
        const QString dic = dir.filePath(QStringLiteral("words.dic"));
        QCOMPARE(run({QStringLiteral("--import"), csv, dic, QStringLiteral("--columns"), QStringLiteral("heading,keyword"),
                      QStringLiteral("--keyword-separator"), QStringLiteral(";"), QStringLiteral("--header"),
                      QStringLiteral("--encoding"), QStringLiteral("cp932"), QStringLiteral("--duplicates"), QStringLiteral("skip")}),
                 0);
        QVERIFY2(m_messages.contains(QStringLiteral("同じ見出しがあるため 1 行を読み飛ばしました")), qPrintable(m_messages));
        Dictionary d(dic);
        QCOMPARE(d.documentRowCount(), 1);
        QCOMPARE(d.keywords(1), (QStringList{QStringLiteral("ひょうじ"), QStringLiteral("ヒョウジ")}));
        QCOMPARE(d.property(QStringLiteral("DictionaryName")).toString(), QStringLiteral("words"));
    }
};

QTEST_GUILESS_MAIN(tst_ExchangeCommand)
#include "tst_exchangecommand.moc"
