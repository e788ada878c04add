// qm-bench-server-writes: many programs writing to one dictionary on a server, against one program
// and against as many writing to a file.
//
//   qm-bench-server-writes --scratch DIR [--entries N] [--writers W]
//
// A private cluster is started in a temporary folder (a Unix socket only, as the tests do). W
// programs (this one, started again as writers) each register N entries one at a time, every
// entry its own transaction, into one new server dictionary at once; then one program registers
// N alone into another. The first budget holds the W writers' entries per second to at least the
// one writer's: the server orders the transactions, it must not let them queue behind one
// another. The same W writers on one dictionary file, whose lock lets one write at a time, are
// reported beside them. Last, in this process: updating an entry as the modification window saves
// it (held, 10 keywords out and 10 in at once, the entry rewritten, one edit session) against registering
// one with 20 keywords (budget 2x, as for files).
// The cluster runs without fsync, as the tests' does: the ratios compare the server with itself;
// the file line is for orientation only.

#include "benchreport.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/sets/memberopener.h"
#include "platform/desktop/datetext.h"
#include "platform/sqlite/error.h"
#include "platform/text/cp932.h"
#include "tests/common/pgcluster.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace qm::bench;
using qm::store::DictionaryStorage;
using qm::store::Entry;

constexpr int Keywords = 20;
constexpr int EditedKeywords = 10;
constexpr int EditedEntries = 200;
constexpr double UpdateBudget = 2;
constexpr double ThroughputBudget = 1;
// A writer that finds the file locked by the others tries again, this often at most.
constexpr int Attempts = 200;

Entry makeEntry(const QString &tag, int i)
{
    Entry e;
    e.Viewer = quint8(qm::store::Viewer::Text);
    e.Heading = QStringLiteral("見出し %1-%2").arg(tag).arg(i);
    e.Document = qm::text::cp932::encode(QStringLiteral("本文 %1-%2 ").arg(tag).arg(i).repeated(30)).bytes;
    e.RenewalDate = QDateTime::currentDateTime();
    return e;
}

QStringList makeKeywords(const QString &tag, int i, int count, const QString &round = {})
{
    QStringList words;
    for (int k = 0; k < count; ++k)
        words << QStringLiteral("%1語%2-%3-%4").arg(round, tag).arg(i).arg(k);
    return words;
}

std::unique_ptr<DictionaryStorage> open(const QString &location)
{
    qm::store::MemberOptions options;
    options.serverTimeout = std::chrono::seconds(30);
    return qm::store::openMember(location, options);
}

// A writer: opens the dictionary, says it is ready, waits for the word, registers its entries.
int writer(const QString &location, const QString &tag, int entries)
{
    const std::unique_ptr<DictionaryStorage> d = open(location);
    std::cout << "ready" << std::endl;
    std::string go;
    std::getline(std::cin, go);
    int retries = 0;
    for (int i = 0; i < entries; ++i) {
        for (int attempt = 1;; ++attempt) {
            try {
                d->addEntry(makeEntry(tag, i), makeKeywords(tag, i, Keywords));
                break;
            } catch (const qm::sqlite::Error &e) {
                if (attempt == Attempts)
                    throw;
                ++retries;
                QThread::msleep(5);
            }
        }
    }
    std::cout << "done " << retries << std::endl;
    return 0;
}

// Seconds from the word to the last writer's end; throws when one fails.
double writeTogether(const QString &self, const QString &location, int writers, int entries)
{
    std::vector<std::unique_ptr<QProcess>> children;
    for (int w = 0; w < writers; ++w) {
        auto &p = children.emplace_back(std::make_unique<QProcess>());
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(self, {QStringLiteral("--writer"), location, QStringLiteral("--tag"), QStringLiteral("w%1").arg(w),
                        QStringLiteral("--entries"), QString::number(entries)});
    }
    for (auto &p : children)
        if (!p->waitForReadyRead(60000) || !p->readLine().startsWith("ready"))
            throw std::runtime_error("a writer did not start");
    QElapsedTimer timer;
    timer.start();
    for (auto &p : children)
        p->write("go\n");
    for (auto &p : children)
        if (!p->waitForFinished(600000) || p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0)
            throw std::runtime_error("a writer failed");
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const std::unique_ptr<DictionaryStorage> d = open(location);
    if (d->entryCount() != qint64(writers) * entries || d->keywordCount() != qint64(writers) * entries * Keywords)
        throw std::runtime_error("the writers' entries are not all there");
    return seconds;
}

struct EditTimes {
    double registering = 0;
    double updating = 0;
};

// Registers entries one at a time, then saves each as the modification window does.
EditTimes editTimes(const QString &location)
{
    const std::unique_ptr<DictionaryStorage> d = open(location);
    EditTimes t;
    std::vector<qint32> numbers;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < EditedEntries; ++i)
        numbers.push_back(d->addEntry(makeEntry(QStringLiteral("e"), i), makeKeywords(QStringLiteral("e"), i, Keywords)));
    t.registering = double(timer.nsecsElapsed()) / 1e9;
    for (int i = 0; i < EditedEntries; ++i) {
        const qint32 n = numbers[std::size_t(i)];
        // What the window reads when it opens, outside the time.
        d->holdEntry(n);
        std::optional<Entry> changed = d->document(n);
        const QStringList removed = d->keywords(n).mid(0, EditedKeywords);
        if (!changed)
            throw std::runtime_error("an entry to update is gone");
        changed->Document = makeEntry(QStringLiteral("u"), i).Document;
        timer.restart();
        d->beginEditSession();
        const QStringList added = makeKeywords(QStringLiteral("e"), i, EditedKeywords, QStringLiteral("新"));
        bool found = d->changeKeywords(n, removed, added) == removed.size();
        found = d->updateEntry(*changed) && found;
        d->commitEditSession();
        t.updating += double(timer.nsecsElapsed()) / 1e9;
        d->releaseEntry();
        if (!found)
            throw std::runtime_error("an entry or keyword to update was not found");
    }
    return t;
}

int run(const QString &self, const QString &scratch, int entries, int writers)
{
    qm::test::PgCluster cluster;
    const auto made = [&](const QString &name) {
        qm::store::ServerOptions options;
        options.createIfMissing = true;
        qm::store::openServerDictionary(cluster.uri(name), options);
        return cluster.uri(name);
    };
    const QString together = made(QStringLiteral("together"));
    const QString alone = made(QStringLiteral("alone"));
    const QString edits = made(QStringLiteral("edits"));
    QDir(scratch).mkpath(QStringLiteral("."));
    const QString file = QDir(scratch).filePath(QStringLiteral("together.dic"));
    QFile::remove(file);
    qm::store::Dictionary::CreateDictionary(file, QStringLiteral("together"), {}, {}, {});

    const double many = writeTogether(self, together, writers, entries);
    const double one = writeTogether(self, alone, 1, entries);
    const double files = writeTogether(self, file, writers, entries);
    const EditTimes edit = editTimes(edits);

    const double perSecondMany = writers * entries / many;
    const double perSecondOne = entries / one;
    const double perSecondFile = writers * entries / files;
    std::printf("server, %d writers of %d entries: %s, %.0f entries/s\n", writers, entries,
                qPrintable(formatSeconds(many)), perSecondMany);
    std::printf("server, 1 writer of %d entries: %s, %.0f entries/s\n", entries, qPrintable(formatSeconds(one)), perSecondOne);
    std::printf("file, %d writers of %d entries: %s, %.0f entries/s (server / file: %.2fx)\n", writers, entries,
                qPrintable(formatSeconds(files)), perSecondFile, perSecondMany / perSecondFile);
    std::printf("server, %d entries registered: %s; updated: %s\n", EditedEntries,
                qPrintable(formatSeconds(edit.registering)), qPrintable(formatSeconds(edit.updating)));
    const std::vector<Budget> budgets = {
        {QStringLiteral("server: %1 writers' entries per second / one writer's").arg(writers), perSecondMany / perSecondOne,
         ThroughputBudget, false, QStringLiteral("x")},
        {QStringLiteral("server: update an entry / register it"), edit.updating / edit.registering, UpdateBudget, true,
         QStringLiteral("x")},
    };
    return printBudgets(budgets);
}

} // namespace

int main(int argc, char *argv[])
{
    qm::desktop::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    try {
        QCommandLineParser parser;
        parser.addOptions({{QStringLiteral("scratch"), QStringLiteral("scratch folder"), QStringLiteral("DIR")},
                           {QStringLiteral("entries"), QStringLiteral("entries per writer"), QStringLiteral("N"), QStringLiteral("100")},
                           {QStringLiteral("writers"), QStringLiteral("writers at once"), QStringLiteral("W"), QStringLiteral("20")},
                           {QStringLiteral("writer"), QStringLiteral("run as a writer"), QStringLiteral("LOCATION")},
                           {QStringLiteral("tag"), QStringLiteral("the writer's tag"), QStringLiteral("TAG")}});
        parser.process(app);
        const int entries = parser.value(QStringLiteral("entries")).toInt();
        if (parser.isSet(QStringLiteral("writer")))
            return writer(parser.value(QStringLiteral("writer")), parser.value(QStringLiteral("tag")), entries);
        if (!parser.isSet(QStringLiteral("scratch")) || entries < 1) {
            std::fprintf(stderr, "qm-bench-server-writes: --scratch DIR is needed\n");
            return 2;
        }
        return run(QCoreApplication::applicationFilePath(), parser.value(QStringLiteral("scratch")), entries,
                   std::max(1, parser.value(QStringLiteral("writers")).toInt()));
    } catch (const qm::sqlite::Error &e) {
        std::fprintf(stderr, "qm-bench-server-writes: %s\n", qPrintable(e.message()));
        return 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-server-writes: %s\n", e.what());
        return 2;
    }
}
