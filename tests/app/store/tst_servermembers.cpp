#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/sets/memberopener.h"

#include "platform/desktop/scriptedprompter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace qm::store;
using namespace std::chrono_literals;

// Set members on a server beside file members: one that cannot be reached is named and passed
// over while the files are searched, and is tried again by the next lookup.
class tst_servermembers final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void anUnreachableServerNeverBlocksTheSet();

private:
    QString fileMember(const QString &name, const QStringList &keywords);

    QTemporaryDir m_dir;
    qm::desktop::ScriptedPrompter m_prompter;
    std::unique_ptr<DatabaseModule> m_db;
};

void tst_servermembers::init()
{
    m_prompter.clear();
    m_db = std::make_unique<DatabaseModule>(qm::app::storeHost(m_prompter), m_dir.path());
}

QString tst_servermembers::fileMember(const QString &name, const QStringList &keywords)
{
    const QString path = m_dir.filePath(name);
    Dictionary::CreateDictionary(path, name, {}, {}, {});
    Dictionary d(path);
    for (const QString &k : keywords)
        d.addEntry(Entry{0, 1, k, {}, {}}, {k});
    return path;
}

void tst_servermembers::anUnreachableServerNeverBlocksTheSet()
{
    // A socket folder where no server listens; the password written into the set file by hand
    // is never shown.
    const QString sockets = m_dir.filePath(QStringLiteral("sockets"));
    QVERIFY(QDir().mkpath(sockets));
    const QString server = QStringLiteral("postgresql://qm:geheim@/qm?host=%1&port=9&dictionary=team").arg(sockets);
    const QString first = fileMember(QStringLiteral("a.dic"), {QStringLiteral("apple"), QStringLiteral("apricot")});
    const QString last = fileMember(QStringLiteral("b.dic"), {QStringLiteral("apex")});
    // Shared with attempts that may outlive the test.
    struct Server {
        std::atomic_int tries{0};
        std::atomic<qint64> timeout{0};
        std::atomic_bool silent{false}; // answers nothing for a while, as a host that drops packets
    };
    const auto state = std::make_shared<Server>();
    Server &s = *state;
    m_db->openSet().setServerOpener([state](const QString &location, const ServerOptions &options) {
        ++state->tries;
        state->timeout = options.timeout.count();
        if (state->silent)
            QThread::sleep(3);
        return openServerDictionary(location, options);
    });
    m_db->setServerTimeout([] { return 7s; });
    m_db->sets().add(DictionarySet(QStringLiteral("混在"), {first, server, last}));
    m_db->sets().choose(0);
    m_db->OpenDictionarySet();
    QCOMPARE(s.tries.load(), 1);
    QCOMPARE(s.timeout.load(), qint64(7));
    QVERIFY(m_db->storage(0) && !m_db->storage(1) && m_db->storage(2));
    QCOMPARE(m_prompter.texts().size(), 1);
    QVERIFY2(m_prompter.texts().first().contains(QLatin1String("dictionary=team")), qPrintable(m_prompter.texts().first()));
    QVERIFY(!m_prompter.texts().first().contains(QLatin1String("geheim")));

    QObject owner;
    for (int lookup = 1; lookup <= 3; ++lookup) {
        // The third lookup meets a server that keeps silent: it waits only a moment for it.
        s.silent = lookup == 3;
        QElapsedTimer took;
        took.start();
        QStringList rows;
        std::optional<SearchResults> end;
        m_db->searchWorker().search(
            m_db->openFiles(), SearchRequest::keyword(QStringLiteral("ap*"), 100), &owner,
            [&rows](const SearchWorker::Rows &batch) {
                for (const SlotMatch &m : batch)
                    rows.append(QString::number(m.slot.index) + m.match.Index);
            },
            [&end](const SearchResults &r) { end = r; });
        QVERIFY(QTest::qWaitFor([&end] { return end.has_value(); }, 10000));
        QCOMPARE(rows, (QStringList{QStringLiteral("0apple"), QStringLiteral("0apricot"), QStringLiteral("2apex")}));
        QVERIFY(end->failure);
        QCOMPARE(end->failure->slot, 1);
        QVERIFY(end->failure->path.contains(QLatin1String("dictionary=team")));
        QVERIFY(!end->failure->path.contains(QLatin1String("geheim")));
        QCOMPARE(s.tries.load(), 1 + lookup);
        QVERIFY(took.elapsed() < 2000);
    }
}

QTEST_GUILESS_MAIN(tst_servermembers)
#include "tst_servermembers.moc"
