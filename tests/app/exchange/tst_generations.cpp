// Looking into a backup generation and taking entries out of it into a live dictionary.

#include "exchangefixture.h"

#include "app/exchange/exchangeerror.h"
#include "app/exchange/takeout.h"
#include "app/store/care/autobackup.h"
#include "app/store/care/backup.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/care/generationview.h"
#include "platform/rtf/rtf.h"
#include "platform/sqlite/error.h"

#include <QDir>
#include <QDirIterator>

#include <mutex>
#include <thread>

using namespace qm;
using namespace qm::exchange;
using namespace qm::exchange::test;

namespace {

// Every file under the folder with its bytes' digest, to see that nothing was written there.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha256));
    }
    return files;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class tst_Generations : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    store::GenerationPolicy m_policy;

    // A generation of a dictionary holding every kind of body; the live file then changes.
    QString generationOf(TempDictionary &source)
    {
        source->addEntries(hostileEntries());
        const QString generation = store::BackupDictionary(source.path, m_root.path(), m_policy);
        source->deleteEntry(1);
        return generation;
    }

private slots:
    void chosenEntriesAreTakenOutWhole()
    {
        TempDictionary source;
        const QString generation = generationOf(source);
        const auto before = snapshot(m_root.path());
        TempDictionary target(QStringLiteral("live"));
        target->addEntry(makeEntry(Viewer::Text, QStringLiteral("kept"), "k"), {QStringLiteral("kept")});

        const QList<qint32> chosen{1, 2, 3, 4, 5, 8, 10};
        {
            store::GenerationView view(generation);
            QCOMPARE(takeOutEntries(view.dictionary(), chosen, *target), qint64(chosen.size()));
            const auto all = hostileEntries();
            qint32 added = 2; // after the entry the target had
            for (const qint32 number : chosen) {
                const Dictionary::NewEntry &expected = all[size_t(number - 1)];
                const std::optional<Entry> got = target->document(added);
                QVERIFY2(got, qPrintable(expected.entry.Heading));
                QCOMPARE(got->Viewer, expected.entry.Viewer);
                QCOMPARE(got->Heading, expected.entry.Heading);
                QCOMPARE(got->Document, expected.entry.Document);
                QCOMPARE(got->RenewalDate, expected.entry.RenewalDate);
                QCOMPARE(target->keywords(added), expected.keywords);
                ++added;
            }
            QCOMPARE(target->documentRowCount(), qint64(chosen.size() + 1));
            QCOMPARE(target->document(1)->Heading, QStringLiteral("kept"));
        }
        // The generation was only read: its folder holds the same files with the same bytes.
        QCOMPARE(snapshot(m_root.path()), before);
        QVERIFY(!QFileInfo::exists(generation + QStringLiteral("-journal")));
    }

    void entriesGetNewNumbersEvenInAnEmptyDictionary()
    {
        TempDictionary source;
        const QString generation = generationOf(source);
        TempDictionary target(QStringLiteral("empty"));
        store::GenerationView view(generation);
        QCOMPARE(takeOutEntries(view.dictionary(), {7, 9}, *target), qint64(2));
        QCOMPARE(target->document(1)->Heading, hostileEntries()[6].entry.Heading);
        QCOMPARE(target->document(2)->Heading, hostileEntries()[8].entry.Heading);
        QVERIFY(!target->document(7));
    }

    void failedTakeOutLeavesTargetAsItWas()
    {
        TempDictionary source;
        const QString generation = generationOf(source);
        TempDictionary target(QStringLiteral("live"));
        target->addEntry(makeEntry(Viewer::Text, QStringLiteral("kept"), "k"), {QStringLiteral("kept")});
        const QByteArray hash = entriesHash(*target);
        store::GenerationView view(generation);
        // A read-only target refuses the write: nothing of the batch is stored.
        Dictionary::Options readOnly;
        readOnly.readOnly = true;
        Dictionary locked(target.path, readOnly);
        QVERIFY_THROWS_EXCEPTION(ExchangeError, takeOutEntries(view.dictionary(), {1, 2, 3}, locked));
        QCOMPARE(entriesHash(*target), hash);
    }

    void unusableGenerationsAreRefusedAndLeftAlone()
    {
        QTemporaryDir dir;
        const QString text = dir.filePath(QStringLiteral("20260101-000000.dic"));
        writeFile(text, "not a database at all");
        QVERIFY_THROWS_EXCEPTION(sqlite::Error, store::GenerationView{text});
        QVERIFY_THROWS_EXCEPTION(sqlite::Error, store::GenerationView{dir.filePath(QStringLiteral("missing.dic"))});

        // A dictionary in write-ahead-log mode would make even a reader leave side files.
        TempDictionary source;
        source.dictionary.reset();
        {
            sqlite::Database db(source.path);
            db.exec("PRAGMA journal_mode=WAL");
        }
        const QString wal = dir.filePath(QStringLiteral("20260101-000001.dic"));
        QVERIFY(QFile::copy(source.path, wal));
        const auto before = snapshot(dir.path());
        QVERIFY_THROWS_EXCEPTION(sqlite::Error, store::GenerationView{wal});
        QCOMPARE(snapshot(dir.path()), before);
    }

    void concurrentBackupsOfOneFileAllSucceed()
    {
        // The background round and the window may back the same file up in the same second.
        TempDictionary source;
        source->addEntries(hostileEntries());
        const QDateTime now = QDateTime::currentDateTime();
        QStringList failures;
        QStringList made;
        std::mutex guard;
        const auto backUp = [&] {
            for (int i = 0; i < 4; ++i) {
                try {
                    const QString g = store::BackupDictionary(source.path, m_root.path(), m_policy, now);
                    const std::lock_guard<std::mutex> lock(guard);
                    made.append(g);
                } catch (const sqlite::Error &e) {
                    const std::lock_guard<std::mutex> lock(guard);
                    failures.append(e.message());
                }
            }
        };
        std::thread first(backUp);
        std::thread second(backUp);
        first.join();
        second.join();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QCOMPARE(made.size(), 8);
        const QString folder = store::backupFolderFor(m_root.path(), source.path);
        for (const store::Generation &g : store::listGenerations(folder))
            QVERIFY2(Dictionary::IsDictionaryFile(g.path), qPrintable(g.path));
        QVERIFY(QDir(folder).entryList({QStringLiteral("$Temp$*")}, QDir::Files | QDir::Hidden).isEmpty());
    }
};

QTEST_MAIN(tst_Generations)
#include "tst_generations.moc"
