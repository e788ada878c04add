#include "fixture.h"
#include "resultlistwatch.h"

#include "app/main/backupschedule.h"
#include "app/main/mdimain.h"
#include "app/store/care/backup.h"
#include "tests/common/stocksqlite.h"

#include <QTest>

using namespace qm;

// Lookups in the main window while the backup schedule copies the set on its own thread.
class tst_lookupduringbackup final : public QObject
{
    Q_OBJECT

private slots:
    void lookupsDuringARoundListWhatTheyListIdle();
};

namespace {

constexpr int Entries = 2500;

// A dictionary of a few tens of megabytes (object bodies are not read for their text, so it is
// made quickly), large enough for its copy to be written out in several slices.
QString largeDictionary(test::ProgramFixture &fx, const QString &file)
{
    QList<test::NewEntry> entries;
    for (int i = 0; i < Entries; ++i)
        entries.append({QStringLiteral("見出し%1").arg(i), 5, QByteArray(9000, char('a' + i % 26)),
                        {QStringLiteral("かぎ%1").arg(i)}});
    return fx.dictionary(file, file, entries);
}

// The rows the result list shows for the pattern; the list is closed again.
int rowsListed(app::mdiMain &window, const QString &pattern)
{
    test::ResultListWatch watch(window);
    window.SearchKeyword(pattern);
    if (!QTest::qWaitFor([&] { return !window.isLookingUp(); }, 20000))
        return -1;
    return watch.rows;
}

} // namespace

// Each lookup lists the same rows as without a backup and tells nothing; the round keeps a
// sound generation of every dictionary, read while the lookups ran.
void tst_lookupduringbackup::lookupsDuringARoundListWhatTheyListIdle()
{
    test::ProgramFixture fx;
    const QStringList files{largeDictionary(fx, QStringLiteral("a.dic")), largeDictionary(fx, QStringLiteral("b.dic"))};
    fx.writeSet(files);
    store::DatabaseModule database(app::storeHost(fx.prompter), fx.dir.path());
    store::Settings settings;
    app::mdiMain window(database, settings, fx.prompter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString pattern = QStringLiteral("かぎ12*");
    const int idle = rowsListed(window, pattern);
    QCOMPARE(idle, 2 * 111); // 12, 120-129, 1200-1299 in each

    store::BackupOptions options;
    options.root = fx.path(QStringLiteral("backups"));
    options.policy = {1, 0};
    app::BackupSchedule schedule(database.setFilePath(), [&options] { return options; });
    schedule.start(std::chrono::milliseconds(50));
    QTRY_VERIFY_WITH_TIMEOUT(schedule.isRunning(), 10000);
    int during = 0;
    while (schedule.isRunning()) {
        QCOMPARE(rowsListed(window, pattern), idle);
        ++during;
    }
    QVERIFY(during > 0);
    QVERIFY2(fx.prompter.messages().isEmpty(), qPrintable(fx.prompter.texts().join(QLatin1Char('\n'))));
    for (const QString &file : files) {
        const QList<store::Generation> kept = store::listGenerations(store::backupFolderFor(options.root, file));
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.first().entries, Entries);
        QCOMPARE(test::stockSqlite(kept.first().path, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }
}

QTEST_MAIN(tst_lookupduringbackup)
#include "tst_lookupduringbackup.moc"
