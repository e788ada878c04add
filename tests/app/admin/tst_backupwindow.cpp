// The backup and restore window as the main window's File menu shows it, checked through the
// store and the open set's lookups.

#include "tests/common/searchrows.h"
#include "tests/app/admin/adminfixture.h"
#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/admin/backupparts.h"
#include "app/admin/frmbackupentries.h"
#include "app/admin/frmbackups.h"
#include "app/main/adminwindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/store/care/autobackup.h"
#include "app/store/care/backup.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <memory>

using namespace qm;
using app::frmBackupEntries;
using app::frmBackups;
using Answer = desktop::Prompter::Answer;

class tst_backupwindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void backUpNowThenRestoreAnOlderGeneration();
    void refusedRestoreChangesNothing();
    void entriesAreTakenOutOfAGeneration();
    void unwritableBackupFolderIsReported();
    void damagedGenerationIsNeitherRestoredNorOpened();
    void sizesAreShownAsTheDesktopShowsThem();

private:
    // Works the backup window opened from the File menu.
    void withWindow(const std::function<void(frmBackups *)> &work)
    {
        test::onModal<frmBackups>(work);
        m_window->commands()->action(QStringLiteral("mnuFileBackups"))->trigger();
    }
    QStringList keywordHeadings(const QString &keyword)
    {
        QStringList headings;
        for (const store::SlotMatch &row : test::findKeyword(*m_db, keyword, 100).rows)
            headings.append(row.match.Heading);
        return headings;
    }
    // An older generation of a.dic (two days back), after which the dictionary is changed
    // through the open set: "one" goes, "three" comes.
    void changeAfterOldGeneration()
    {
        store::BackupDictionary(m_a, m_root, {}, QDateTime::currentDateTime().addDays(-2));
        store::Dictionary *a = m_db->dictionary(0);
        QVERIFY(a);
        QVERIFY(a->deleteEntry(1));
        store::Entry e;
        e.Viewer = 1;
        e.Heading = QStringLiteral("三番目");
        e.Document = "three";
        e.RenewalDate = QDateTime::currentDateTime();
        a->addEntry(e, {QStringLiteral("k3")});
    }
    static QStringList texts(QTreeWidget *list, int column)
    {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out.append(list->topLevelItem(i)->text(column));
        return out;
    }
    QString lastMessage() const { return m_fx->prompter.texts().value(m_fx->prompter.texts().size() - 1); }

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<app::mdiMain> m_window;
    QString m_a;
    QString m_root;
};

void tst_backupwindow::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    m_a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("辞書A"),
                           {{QStringLiteral("一番目"), 1, {}, {QStringLiteral("k1")}},
                            {QStringLiteral("二番目"), 1, {}, {QStringLiteral("k2")}}});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("辞書B"), {});
    m_fx->writeSet({m_a, b});
    m_root = m_fx->path(QStringLiteral("backups"));
    m_settings = std::make_unique<store::Settings>();
    m_settings->setValue(store::keys::Backup::Folder, m_root);
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_window = std::make_unique<app::mdiMain>(*m_db, *m_settings, m_fx->prompter);
    app::installAdminWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_backupwindow::cleanup()
{
    m_window.reset();
    m_db.reset();
    m_settings.reset();
    m_fx.reset();
}

void tst_backupwindow::backUpNowThenRestoreAnOlderGeneration()
{
    changeAfterOldGeneration();
    m_window->ShowDocument(0, 2);
    QCOMPARE(m_window->viewers().size(), 1);
    m_fx->prompter.queueAnswer(Answer::Yes);
    QStringList before;
    QStringList after;
    QStringList counts;
    withWindow([&](frmBackups *w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillmere - バックアップと復元"));
        QCOMPARE(w->lstFiles->count(), 3); // the set file and both dictionaries
        QVERIFY(w->lstFiles->item(1)->text().startsWith(QStringLiteral("辞書A (a.dic)")));
        w->lstFiles->setCurrentRow(1);
        QVERIFY(w->lblCurrent->text().contains(QStringLiteral("2 件")));
        before = texts(w->lstGenerations, 0);
        w->cmdBackupNow->click();
        // The backup runs beside the window, which neither starts another thing nor closes meanwhile.
        QVERIFY(!w->cmdBackupNow->isEnabled() && !w->cmdRestore->isEnabled() && !w->cmdClose->isEnabled());
        QTRY_VERIFY(w->cmdBackupNow->isEnabled());
        counts = texts(w->lstGenerations, 2);
        // The older generation, second from the top after the new one, goes back in place.
        w->lstGenerations->setCurrentItem(w->lstGenerations->topLevelItem(1));
        w->cmdRestore->click();
        after = texts(w->lstGenerations, 0);
    });
    QCOMPARE(before.size(), 1);
    QCOMPARE(counts, (QStringList{QStringLiteral("2 件"), QStringLiteral("2 件")}));
    // The confirmation named the file and the generation's time; the content replaced was kept.
    const QString question = m_fx->prompter.texts().value(0);
    QVERIFY2(question.contains(QStringLiteral("a.dic")) && question.contains(before.first()), qPrintable(question));
    QVERIFY2(lastMessage().contains(QStringLiteral("残してあります")), qPrintable(lastMessage()));
    // The content replaced is listed apart and takes no generation's place.
    QCOMPARE(after.size(), 3);
    QVERIFY2(after.first().contains(QStringLiteral("復元前")), qPrintable(after.first()));
    QCOMPARE(after.last(), before.first());
    // The open set finds the restored content, and the viewers of the old content are gone.
    QCOMPARE(keywordHeadings(QStringLiteral("k1")), QStringList{QStringLiteral("一番目")});
    QVERIFY(keywordHeadings(QStringLiteral("k3")).isEmpty());
    QVERIFY(m_window->viewers().isEmpty());
}

void tst_backupwindow::refusedRestoreChangesNothing()
{
    changeAfterOldGeneration();
    const QString folder = store::backupFolderFor(m_root, m_a);
    m_fx->prompter.queueAnswer(Answer::No);
    withWindow([&](frmBackups *w) {
        w->lstFiles->setCurrentRow(1);
        QCOMPARE(w->lstGenerations->topLevelItemCount(), 1);
        w->cmdRestore->click();
    });
    QCOMPARE(m_fx->prompter.messages().size(), 1);
    QCOMPARE(m_fx->prompter.messages().first().defaultAnswer, Answer::No);
    QCOMPARE(keywordHeadings(QStringLiteral("k3")), QStringList{QStringLiteral("三番目")});
    QVERIFY(keywordHeadings(QStringLiteral("k1")).isEmpty());
    QCOMPARE(store::listGenerations(folder).size(), 1);
}

void tst_backupwindow::entriesAreTakenOutOfAGeneration()
{
    store::BackupDictionary(m_a, m_root, {});
    QStringList headings, found;
    QString keywords, count, refused;
    withWindow([&](frmBackups *w) {
        w->lstFiles->setCurrentRow(1);
        test::onModal<frmBackupEntries>([&](frmBackupEntries *e) {
            headings = texts(e->lstEntries, 0);
            // A keyword narrows the list, as the keyword box does (case folded); a text that is
            // no pattern is refused and leaves the list as it was.
            e->txtFind->setText(QStringLiteral("["));
            e->cmdFind->click();
            refused = lastMessage();
            // Enter in the box searches, and takes nothing out.
            e->txtFind->setText(QStringLiteral("K2"));
            QTest::keyClick(e->txtFind, Qt::Key_Return);
            found = texts(e->lstEntries, 0);
            count = e->lblCount->text();
            e->lstEntries->setCurrentItem(e->lstEntries->topLevelItem(0));
            keywords = e->lstKeywords->item(0)->text();
            e->lstEntries->topLevelItem(0)->setCheckState(0, Qt::Checked);
            e->cboDictionary->setCurrentIndex(e->cboDictionary->findText(QStringLiteral("辞書B"), Qt::MatchEndsWith));
            e->cmdTakeOut->click();
        });
        w->cmdOpen->click();
    });
    QCOMPARE(headings, (QStringList{QStringLiteral("一番目"), QStringLiteral("二番目")}));
    QVERIFY2(refused.contains(QStringLiteral("検索する言葉として読めません")), qPrintable(refused));
    QCOMPARE(found, QStringList{QStringLiteral("二番目")});
    QCOMPARE(count, QStringLiteral("1 件"));
    QCOMPARE(keywords, QStringLiteral("k2"));
    QVERIFY2(lastMessage().startsWith(QStringLiteral("1 件の項目を")), qPrintable(lastMessage()));
    // Found twice now: in A, where it was, and in B, where it was taken out to.
    QCOMPARE(keywordHeadings(QStringLiteral("k2")), (QStringList{QStringLiteral("二番目"), QStringLiteral("二番目")}));
    QCOMPARE(m_db->dictionary(1)->documentRowCount(), 1);
}

void tst_backupwindow::unwritableBackupFolderIsReported()
{
    // A folder under a plain file can never be made.
    QFile blocker(m_fx->path(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_settings->setValue(store::keys::Backup::Folder, m_fx->path(QStringLiteral("blocker/backups")));
    int generations = -1;
    withWindow([&](frmBackups *w) {
        w->lstFiles->setCurrentRow(1);
        QVERIFY(w->lblNoBackup->isVisible());
        w->cmdBackupNow->click();
        QTRY_VERIFY(w->cmdBackupNow->isEnabled());
        generations = w->lstGenerations->topLevelItemCount();
    });
    QCOMPARE(generations, 0);
    QVERIFY2(lastMessage().contains(QStringLiteral("書き込めません")), qPrintable(lastMessage()));
    QCOMPARE(m_fx->prompter.messages().last().icon, desktop::Prompter::Icon::Warning);
}

void tst_backupwindow::damagedGenerationIsNeitherRestoredNorOpened()
{
    const QString generation = store::BackupDictionary(m_a, m_root, {}, QDateTime::currentDateTime().addDays(-1));
    {
        QFile damaged(generation);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        damaged.seek(0);
        damaged.write(QByteArray(512, 'x'));
    }
    m_fx->prompter.queueAnswer(Answer::Yes);
    withWindow([&](frmBackups *w) {
        w->lstFiles->setCurrentRow(1);
        w->cmdRestore->click();
        w->cmdOpen->click();
    });
    const QStringList texts = m_fx->prompter.texts();
    QCOMPARE(texts.size(), 3); // the question, then two warnings
    QVERIFY2(texts[1].contains(QStringLiteral("元のまま")), qPrintable(texts[1]));
    QVERIFY2(texts[2].contains(QStringLiteral("開けません")), qPrintable(texts[2]));
    QCOMPARE(keywordHeadings(QStringLiteral("k1")), QStringList{QStringLiteral("一番目")});
}

void tst_backupwindow::sizesAreShownAsTheDesktopShowsThem()
{
    QCOMPARE(app::formatFileSize(0), QStringLiteral("0 KB"));
    QCOMPARE(app::formatFileSize(1), QStringLiteral("1 KB"));
    QCOMPARE(app::formatFileSize(1024 * 1023 + 1), QStringLiteral("1,024 KB"));
    QCOMPARE(app::formatFileSize(1024 * 1024 * 3 / 2), QStringLiteral("1.5 MB"));
    QCOMPARE(app::formatFileSize(qint64(1024) * 1024 * 1024 * 2), QStringLiteral("2.0 GB"));
}

QTEST_MAIN(tst_backupwindow)
#include "tst_backupwindow.moc"
