// Repeats one write of the program until it is killed, printing a line after each one. The
// kill test checks what the files hold afterwards.
//   qm-write-child modify|delete|move|setfile|cut <folder>

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/dictionary/dictionary.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/sqlite/statement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>

using qm::store::Dictionary;

namespace {

qm::store::Entry entry(const QString &heading, const QString &body)
{
    qm::store::Entry e;
    e.Viewer = 1;
    e.Heading = heading;
    e.Document = body.toLatin1().repeated(500);
    e.RenewalDate = QDateTime::currentDateTime();
    return e;
}

void done(int i)
{
    std::printf("%d\n", i);
    std::fflush(stdout);
}

// Entry 1 becomes version i: its heading, body and two of its keywords carry the number.
void modify(const QDir &folder)
{
    Dictionary d(folder.filePath(QStringLiteral("A.dic")));
    for (int i = 1;; ++i) {
        d.beginEditSession();
        for (const QString &k : d.keywords(1))
            if (k != QLatin1String("fixed"))
                d.deleteKeyword(1, k);
        d.addKeyword(1, QStringLiteral("v%1-a").arg(i));
        d.addKeyword(1, QStringLiteral("v%1-b").arg(i));
        qm::store::Entry e = entry(QStringLiteral("v%1").arg(i), QStringLiteral("v%1").arg(i));
        e.DocumentNumber = 1;
        d.updateEntry(e);
        d.commitEditSession();
        done(i);
    }
}

// Registers entries with three keywords each and deletes every second one again.
void remove(const QDir &folder)
{
    Dictionary d(folder.filePath(QStringLiteral("A.dic")));
    for (int i = 1;; ++i) {
        const QString h = QStringLiteral("e%1").arg(i);
        const qint32 n = d.addEntry(entry(h, h), {h + QStringLiteral("-0"), h + QStringLiteral("-1"), h + QStringLiteral("-2")});
        if (i % 2 == 0) {
            d.beginEditSession();
            d.deleteEntry(n);
            d.commitEditSession();
        }
        done(i);
    }
}

// Moves the one entry back and forth: registered in the other dictionary, then deleted here.
void move(const QDir &folder)
{
    Dictionary a(folder.filePath(QStringLiteral("A.dic")));
    Dictionary b(folder.filePath(QStringLiteral("B.dic")));
    Dictionary *from = &a;
    Dictionary *to = &b;
    for (int i = 1;; ++i) {
        if (from->documentRowCount() == 0)
            std::swap(from, to);
        qm::sqlite::Statement first(from->database(), "SELECT DocumentNumber FROM Document LIMIT 1");
        first.step();
        const auto n = qint32(first.toInt64(0));
        to->addEntry(*from->document(n), from->keywords(n));
        from->deleteEntry(n);
        std::swap(from, to);
        done(i);
    }
}

// Saves the set file, alternating between two contents.
void setFile(const QDir &folder)
{
    qm::desktop::ScriptedPrompter prompter;
    qm::store::DatabaseModule module(qm::app::storeHost(prompter), folder.path());
    module.LoadDictionarySets();
    for (int i = 1;; ++i) {
        module.sets().clear();
        for (int s = 0; s < 10; ++s) {
            qm::store::DictionarySet set((i % 2 ? QStringLiteral("奇数の組 %1") : QStringLiteral("偶数の組 %1")).arg(s));
            for (int f = 0; f < 10; ++f)
                set.append(QStringLiteral("/home/利用者/辞書/%1/%2-%3.dic").arg(i % 2).arg(s).arg(f));
            module.sets().add(set);
        }
        if (!module.SaveDictionarySets())
            return;
        // The two contents are kept for the test to compare with, before the test may kill.
        if (i <= 2) {
            const QString reference = folder.filePath(i == 1 ? QStringLiteral("odd.ini") : QStringLiteral("even.ini"));
            QFile::remove(reference);
            QFile::copy(module.setFilePath(), reference);
            continue;
        }
        done(i);
    }
}

// Writes into A.dic until pages of the open transaction have reached the file, their journal
// synced beside it (its first byte, 0xd9, is written last), then waits to be killed.
void cut(const QDir &folder)
{
    Dictionary d(folder.filePath(QStringLiteral("A.dic")));
    d.database().exec("PRAGMA cache_size=4");
    d.beginEditSession();
    for (int i = 1; i < 1000; ++i) {
        const QString h = QStringLiteral("cut%1").arg(i);
        d.addEntry(entry(h, h), {h});
        QFile journal(folder.filePath(QStringLiteral("A.dic-journal")));
        if (journal.open(QIODevice::ReadOnly) && journal.read(1) == QByteArray(1, char(0xd9))) {
            done(i);
            for (;;)
                QThread::sleep(1);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString op = app.arguments().value(1);
    const QDir folder(app.arguments().value(2));
    if (op == QLatin1String("modify"))
        modify(folder);
    else if (op == QLatin1String("delete"))
        remove(folder);
    else if (op == QLatin1String("move"))
        move(folder);
    else if (op == QLatin1String("setfile"))
        setFile(folder);
    else if (op == QLatin1String("cut"))
        cut(folder);
    return 1;
}
