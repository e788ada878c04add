// Writes to a dictionary on a server as one of several programs at once; the server write tests
// start it and check what the dictionary holds afterwards.
//   qm-server-write-child work <location> <id> <count>  registers <count> entries, modifies each
//                                                       and deletes the odd ones, then prints "done"
//   qm-server-write-child loop <location>               registers entries until killed, printing the
//                                                       number of each once it is committed
//   qm-server-write-child hold <location> <number>      holds the entry in an edit session, prints
//                                                       "held" and waits to be killed
//   qm-server-write-child race <location> <number>      reads the entry, prints "read", and on a line
//                                                       of input updates it: prints "ok" or "refused"

#include "app/common/storemessages.h"
#include "app/store/server/serverdictionary.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

using namespace qm::store;

namespace {

Entry entry(const QString &heading, int bodyRepeat)
{
    Entry e;
    e.Viewer = 1;
    e.Heading = heading;
    e.Document = heading.toLatin1().repeated(bodyRepeat);
    e.RenewalDate = QDateTime::currentDateTime();
    return e;
}

void say(const QByteArray &line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

// Each entry i gets keywords "k<id>-<i>" and "both"; modified, its heading ends in "m" and it
// gets keyword "m<id>-<i>" in an edit session, as the modification window writes it.
void work(DictionaryStorage &d, const QString &id, int count)
{
    std::vector<qint32> numbers;
    for (int i = 0; i < count; ++i) {
        const QString h = QStringLiteral("c%1-%2").arg(id).arg(i);
        numbers.push_back(d.addEntry(entry(h, 3), {QStringLiteral("k%1-%2").arg(id).arg(i), QStringLiteral("both")}));
    }
    for (int i = 0; i < count; ++i) {
        const qint32 n = numbers[std::size_t(i)];
        d.holdEntry(n);
        Entry e = *d.document(n);
        d.beginEditSession();
        d.deleteKeyword(n, QStringLiteral("both"));
        d.addKeyword(n, QStringLiteral("m%1-%2").arg(id).arg(i));
        e.Heading += QLatin1Char('m');
        e.Document = e.Heading.toLatin1();
        if (!d.updateEntry(e))
            throw std::runtime_error("entry vanished");
        d.commitEditSession();
        d.releaseEntry();
    }
    for (int i = 1; i < count; i += 2)
        d.deleteEntry(numbers[std::size_t(i)]);
    say("done");
}

// Large bodies, so a kill often lands inside a commit.
[[noreturn]] void loop(DictionaryStorage &d)
{
    for (int i = 1;; ++i) {
        const QString h = QStringLiteral("w%1-%2").arg(QCoreApplication::applicationPid()).arg(i);
        const qint32 n = d.addEntry(entry(h, 20000), {h + QStringLiteral("-0"), h + QStringLiteral("-1"), h + QStringLiteral("-2")});
        say(QByteArray::number(n));
    }
}

[[noreturn]] void hold(DictionaryStorage &d, qint32 number)
{
    d.holdEntry(number);
    d.beginEditSession();
    d.addKeyword(number, QStringLiteral("never stored"));
    say("held");
    for (;;)
        QThread::sleep(1);
}

void race(DictionaryStorage &d, qint32 number)
{
    Entry e = *d.document(number);
    say("read");
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return;
    e.Heading = QStringLiteral("by %1").arg(QCoreApplication::applicationPid());
    try {
        say(d.updateEntry(e) ? "ok" : "gone");
    } catch (const qm::sqlite::Error &error) {
        say(isStoreError(error, FailureKind::ServerChangedByOther) ? "refused" : qm::app::errorText(error).toUtf8());
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    try {
        ServerOptions options;
        options.timeout = std::chrono::seconds(10);
        const std::unique_ptr<DictionaryStorage> d = openServerDictionary(args[2], options);
        if (args[1] == QLatin1String("work") && args.size() == 5)
            work(*d, args[3], args[4].toInt());
        else if (args[1] == QLatin1String("loop"))
            loop(*d);
        else if (args[1] == QLatin1String("hold") && args.size() == 4)
            hold(*d, args[3].toInt());
        else if (args[1] == QLatin1String("race") && args.size() == 4)
            race(*d, args[3].toInt());
        else
            return 2;
    } catch (const qm::sqlite::Error &e) {
        say(qm::app::errorText(e).toUtf8());
        return 1;
    } catch (const std::exception &e) {
        say(e.what());
        return 1;
    }
    return 0;
}
