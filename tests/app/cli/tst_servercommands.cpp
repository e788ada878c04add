#include "tests/app/exchange/exchangefixture.h"

#include "app/cli/lookupcommand.h"
#include "app/common/storemessages.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/scriptedprompter.h"
#include "tests/app/cli/exchangerun.h"
#include "tests/common/pgcluster.h"

#include <QTest>
#include <QTextStream>

#include <memory>

using namespace qm::exchange::test;

// A dictionary kept on a server: an import on the command line makes it and adds to it, an
// export writes it out, a lookup through a set that names it lists its rows beside a file's, and
// a set whose server wants a password asks for it once for the set and its searches.
class tst_ServerCommands : public ExchangeRunTest
{
    Q_OBJECT

    std::unique_ptr<qm::test::PgCluster> m_cluster;
    QTemporaryDir m_dir;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("test file not written");
        return path;
    }

    // The entries of the dictionary on the server; nothing when it does not exist.
    static std::optional<qint64> entriesOn(const QString &uri)
    {
        try {
            return qm::store::openServerDictionary(uri, {})->entryCount();
        } catch (const qm::sqlite::Error &e) {
            if (!qm::store::isStoreError(e, qm::store::FailureKind::ServerDictionaryMissing))
                throw;
            return std::nullopt;
        }
    }

private slots:
    void initTestCase() { m_cluster = std::make_unique<qm::test::PgCluster>(); }
    void cleanupTestCase() { m_cluster.reset(); }

    void importExportAndLookUp()
    {
        const QString uri = m_cluster->uri(QStringLiteral("用語集"));
        const QString csv = file(QStringLiteral("words.csv"), "apple,林檎,赤い\napricot,杏,橙\n");
        QCOMPARE(run({QStringLiteral("--import"), csv, uri}), 0);
        QVERIFY2(m_messages.contains(QStringLiteral("dictionary=")), qPrintable(m_messages));
        // A second import adds to the dictionary made by the first.
        const QString more = file(QStringLiteral("more.csv"), "apex,頂点,上\n");
        QCOMPARE(run({QStringLiteral("--import"), more, uri}), 0);

        const QString out = m_dir.filePath(QStringLiteral("out.jsonl"));
        QCOMPARE(run({QStringLiteral("--export"), uri, out}), 0);
        QVERIFY2(m_messages.contains(QStringLiteral("3 件の項目")), qPrintable(m_messages));
        const QString copy = m_dir.filePath(QStringLiteral("copy.dic"));
        QCOMPARE(run({QStringLiteral("--import"), out, copy}), 0);
        QCOMPARE(Dictionary(copy).documentRowCount(), 3);

        // A set of a file and the server dictionary, looked up from the terminal.
        const QString folder = m_dir.filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(folder));
        {
            qm::desktop::ScriptedPrompter prompter;
            qm::store::DatabaseModule module(qm::app::storeHost(prompter), folder);
            module.sets().add(qm::store::DictionarySet(QStringLiteral("混在"), {copy, uri}));
            module.sets().choose(0);
            QVERIFY(module.SaveDictionarySets());
        }
        QString rows;
        QString said;
        QTextStream outText(&rows);
        QTextStream errText(&said);
        qm::app::LookupRequest request;
        request.pattern = QStringLiteral("apr");
        request.limit = 100;
        QCOMPARE(qm::app::runLookup(request, folder, outText, errText), qm::app::ExitStatus::Found);
        outText.flush();
        QCOMPARE(rows.count(QStringLiteral("apricot")), 2);
        QVERIFY2(said.isEmpty(), qPrintable(said));
    }

    void aPasswordIsAskedOnceForTheSetAndItsSearches()
    {
        using namespace qm::store;
        const QString uri = m_cluster->uri(QStringLiteral("保護"), QStringLiteral("writer"));
        const QString csv = file(QStringLiteral("guarded.csv"), "secretword,秘密,本文\n");
        qputenv("PGPASSWORD", qm::test::PgCluster::WriterPassword);
        const int imported = run({QStringLiteral("--import"), csv, uri});
        qunsetenv("PGPASSWORD");
        QCOMPARE(imported, 0);

        qm::desktop::ScriptedPrompter prompter;
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("guarded"))));
        DatabaseModule module(qm::app::storeHost(prompter), m_dir.filePath(QStringLiteral("guarded")));
        QStringList answers{QStringLiteral("wrong"), QString::fromLatin1(qm::test::PgCluster::WriterPassword)};
        QStringList asked;
        module.setPasswordAsker([&](const QString &location) {
            asked.append(location);
            return std::optional<QString>(answers.takeFirst());
        });
        module.sets().add(DictionarySet(QStringLiteral("鍵"), {uri}));
        module.sets().choose(0);
        // A wrong password fails the member and is asked again at the next opening.
        module.OpenDictionarySet();
        QVERIFY(!module.storage(0));
        QCOMPARE(prompter.texts().size(), 1);
        QVERIFY(!prompter.texts().first().contains(QLatin1String("wrong")));
        module.CloseDictionarySet();
        module.OpenDictionarySet();
        QVERIFY(module.storage(0));
        QCOMPARE(asked, QStringList(2, shownServerLocation(uri)));

        // The search worker's own connection takes the password typed; nobody is asked again.
        QObject owner;
        QStringList rows;
        std::optional<SearchResults> end;
        module.searchWorker().search(
            module.openFiles(), SearchRequest::keyword(QStringLiteral("secret*"), 10), &owner,
            [&rows](const SearchWorker::Rows &batch) {
                for (const SlotMatch &m : batch)
                    rows.append(m.match.Index);
            },
            [&end](const SearchResults &r) { end = r; });
        QVERIFY(QTest::qWaitFor([&end] { return end.has_value(); }, 10000));
        QVERIFY(!end->failure);
        QCOMPARE(rows, QStringList{QStringLiteral("secretword")});
        QCOMPARE(asked.size(), 2);
        // The set file names the member without any password.
        QVERIFY(module.SaveDictionarySets());
        QFile setFile(module.setFilePath());
        QVERIFY(setFile.open(QIODevice::ReadOnly));
        QVERIFY(!setFile.readAll().contains(qm::test::PgCluster::WriterPassword));
    }

    // An import that fails takes away the dictionary it made, whether it fails at the header
    // (before any entry) or at a later line (after entries went in); into a dictionary that was
    // there before, the same failure keeps it with its entries.
    void aFailedImportLeavesNoDictionaryBehind_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray header = R"({"format":"quillmere-dictionary","version":1,"name":"失敗"})" "\n";
        const QByteArray entry = R"({"number":7,"type":1,"heading":"h","keywords":["k"],"body":{"text":"b"}})" "\n";
        QTest::newRow("first line not a header") << QByteArray(entry + entry);
        QTest::newRow("a later line broken") << QByteArray(header + entry + "{broken\n");
        QTest::newRow("last line cut") << QByteArray(header + entry + entry.chopped(1));
    }

    void aFailedImportLeavesNoDictionaryBehind()
    {
        QFETCH(QByteArray, bytes);
        const QString uri = m_cluster->uri(QStringLiteral("失敗 ") + QLatin1String(QTest::currentDataTag()));
        const QString bad = file(QStringLiteral("bad.jsonl"), bytes);
        QCOMPARE(run({QStringLiteral("--import"), bad, uri}), 1);
        QVERIFY2(m_messages.contains(QStringLiteral("辞書は変更していません")), qPrintable(m_messages));
        QCOMPARE(entriesOn(uri), std::nullopt);

        const QString good = file(QStringLiteral("kept.csv"), "kept,残す,本文\n");
        QCOMPARE(run({QStringLiteral("--import"), good, uri}), 0);
        QCOMPARE(run({QStringLiteral("--import"), bad, uri}), 1);
        QCOMPARE(entriesOn(uri), std::optional<qint64>(1));
        // Nothing else takes it away either: only an empty dictionary is ever dropped.
        QVERIFY(!qm::store::dropEmptyServerDictionary(uri, {}));
        QCOMPARE(entriesOn(uri), std::optional<qint64>(1));
    }

    void aServerNobodyAnswersIsNamed()
    {
        const QString sockets = m_dir.filePath(QStringLiteral("nobody"));
        QVERIFY(QDir().mkpath(sockets));
        const QString uri = QStringLiteral("postgresql://ann:hidden@/qm?host=%1&port=9&dictionary=x").arg(sockets);
        const QString out = m_dir.filePath(QStringLiteral("none.jsonl"));
        QCOMPARE(run({QStringLiteral("--export"), uri, out}), 1);
        QVERIFY2(m_messages.contains(QStringLiteral("dictionary=x")), qPrintable(m_messages));
        QVERIFY(!m_messages.contains(QStringLiteral("hidden")));
        QVERIFY(!QFileInfo::exists(out));
    }
};

QTEST_GUILESS_MAIN(tst_ServerCommands)
#include "tst_servercommands.moc"
