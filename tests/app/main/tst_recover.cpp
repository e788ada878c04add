#include "tests/common/searchrows.h"
#include "fixture.h"

#include "app/common/storemessages.h"
#include "app/admin/frmrecover.h"
#include "app/main/recoverwindows.h"
#include "app/store/care/backup.h"
#include "platform/desktop/filechooser.h"
#include "tests/common/stocksqlite.h"
#include "tests/common/testfiles.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace qm;
using Answer = desktop::Prompter::Answer;

namespace {

// Works the recovery dialog once it is the modal window; true once that has been done.
void onRecoverDialog(bool &done, std::function<void(QDialog &)> work, int tries = 200)
{
    QTimer::singleShot(10, [&done, work, tries] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("frmRecover")) {
            if (tries > 0)
                onRecoverDialog(done, work, tries - 1);
            return;
        }
        work(*dialog);
        done = true;
        // A failing check must not leave the dialog waiting for ever.
        if (dialog->isVisible())
            dialog->reject();
    });
}

QStringList lookup(store::DatabaseModule &database, const QString &pattern)
{
    QStringList found;
    for (const store::SlotMatch &row : test::findKeyword(database, pattern, 100).rows)
        found.append(QStringLiteral("%1:%2").arg(row.slot.index).arg(row.match.Index));
    return found;
}

bool damageProperties(const QString &path)
{
    return test::damagePage(path, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'Properties'"));
}

} // namespace

class tst_recover final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void restoreBringsBackTheGenerationMadeBeforeTheDamage();
    void salvagedCopyTakesTheDamagedFilesPlaceInTheSet();
    void salvageReportNamesTheIncompleteEntries();

private:
    // Opens the set as the program does, with the recovery offer in place.
    void openSet();
    QString backupRoot() const { return m_fixture->path(QStringLiteral("backups")); }

    std::unique_ptr<test::ProgramFixture> m_fixture;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<desktop::ScriptedFileChooser> m_files;
    std::unique_ptr<store::DatabaseModule> m_database;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<app::RecoveryOffer> m_offer;
};

void tst_recover::init()
{
    m_fixture = std::make_unique<test::ProgramFixture>();
    m_settings = std::make_unique<store::Settings>();
    m_settings->setValue(store::keys::Backup::Folder, backupRoot());
    m_files = std::make_unique<desktop::ScriptedFileChooser>();
}

void tst_recover::cleanup()
{
    m_offer.reset();
    m_window.reset();
    m_database.reset();
    m_files.reset();
    m_settings.reset();
    m_fixture.reset();
}

void tst_recover::openSet()
{
    m_database = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fixture->prompter), m_fixture->dir.path());
    m_window = std::make_unique<QWidget>();
    m_window->show();
    m_offer = std::make_unique<app::RecoveryOffer>(*m_database, *m_settings, m_fixture->prompter, *m_files);
    m_offer->setWindow(m_window.get());
    m_database->LoadDictionarySets();
    m_database->OpenDictionarySet();
}

void tst_recover::restoreBringsBackTheGenerationMadeBeforeTheDamage()
{
    const QString path = m_fixture->dictionary(QStringLiteral("A.dic"), QStringLiteral("辞書A"),
                                               {{QStringLiteral("林檎"), 1, {}, {QStringLiteral("りんご")}}});
    store::BackupDictionary(path, backupRoot(), {}, QDateTime(QDate(2026, 12, 1), QTime(9, 30, 0)));
    {
        store::Entry later;
        later.Viewer = 1;
        later.Heading = QStringLiteral("バナナ");
        store::Dictionary(path).addEntry(later, {QStringLiteral("ばなな")});
    }
    QVERIFY(damageProperties(path));
    m_fixture->writeSet({path});

    bool done = false;
    onRecoverDialog(done, [&](QDialog &dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Quillmere - 辞書の修復"));
        QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("lblMessage"))->text().contains(QDir::toNativeSeparators(path)));
        QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("lblBackup"))->text().contains(QStringLiteral("2026/12/01 09:30:00")));
        auto *restore = dialog.findChild<QPushButton *>(QStringLiteral("cmdRestore"));
        QVERIFY(restore->isEnabled());
        restore->click();
    });
    openSet();
    // The damaged member is offered for recovery, not reported in a message.
    QVERIFY(m_fixture->prompter.messages().isEmpty());
    QVERIFY(!m_database->dictionary(0));
    QTRY_VERIFY(done);
    QTRY_VERIFY(!QApplication::activeModalWidget());

    QVERIFY(m_database->dictionary(0));
    QCOMPARE(lookup(*m_database, QStringLiteral("りんご")), QStringList{QStringLiteral("0:りんご")});
    QVERIFY(lookup(*m_database, QStringLiteral("ばなな")).isEmpty());
    QVERIFY(m_fixture->prompter.texts().last().contains(QStringLiteral("復元しました")));
    // The damaged file is kept beside the generations.
    const QStringList kept = QDir(store::backupFolderFor(backupRoot(), path)).entryList({QStringLiteral("*-damaged.dic")});
    QCOMPARE(kept.size(), 1);
}

void tst_recover::salvagedCopyTakesTheDamagedFilesPlaceInTheSet()
{
    const QString other = m_fixture->dictionary(QStringLiteral("C.dic"), QStringLiteral("辞書C"),
                                                {{QStringLiteral("柿"), 1, {}, {QStringLiteral("かき")}}});
    const QString path = m_fixture->dictionary(QStringLiteral("B.dic"), QStringLiteral("辞書B"),
                                               {{QStringLiteral("林檎"), 1, {}, {QStringLiteral("りんご"), QStringLiteral("apple")}},
                                                {QStringLiteral("蜜柑"), 1, {}, {QStringLiteral("みかん")}},
                                                {QStringLiteral("葡萄"), 1, {}, {QStringLiteral("ぶどう")}}});
    QVERIFY(damageProperties(path));
    const QByteArray damagedBytes = test::readFile(path);
    m_fixture->writeSet({other, path});
    const QString salvaged = m_fixture->path(QStringLiteral("B-新.dic"));
    m_files->queueFile(salvaged);
    m_fixture->prompter.queueAnswer(Answer::Ok);
    m_fixture->prompter.queueAnswer(Answer::Yes);

    bool done = false;
    onRecoverDialog(done, [&](QDialog &dialog) {
        // No backup of this dictionary was ever made.
        QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("cmdRestore"))->isEnabled());
        QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("lblBackup"))->text().contains(QStringLiteral("ありません")));
        dialog.findChild<QPushButton *>(QStringLiteral("cmdSalvage"))->click();
    });
    openSet();
    QTRY_VERIFY(done);
    QTRY_VERIFY(!QApplication::activeModalWidget());

    // The file name offered is beside the damaged file.
    QCOMPARE(m_files->asked().size(), 1);
    QCOMPARE(m_files->asked().first().request.fileName, m_fixture->path(QStringLiteral("B-救出.dic")));
    QVERIFY2(m_fixture->prompter.texts().join(QLatin1Char('|')).contains(QStringLiteral("3 件の項目を救出しました。読めなかった項目: 0 件")),
             qPrintable(m_fixture->prompter.texts().join(QLatin1Char('|'))));
    QCOMPARE(m_database->sets().currentSet()->fileNames(), (QStringList{other, salvaged}));
    // The set file holds the change too.
    store::DatabaseModule reread(qm::app::storeHost(m_fixture->prompter), m_fixture->dir.path());
    reread.LoadDictionarySets();
    QCOMPARE(reread.sets().currentSet()->fileNames(), (QStringList{other, salvaged}));

    QCOMPARE(lookup(*m_database, QStringLiteral("apple")), QStringList{QStringLiteral("1:apple")});
    QCOMPARE(lookup(*m_database, QStringLiteral("かき")), QStringList{QStringLiteral("0:かき")});
    QCOMPARE(test::readFile(path), damagedBytes);
}

void tst_recover::salvageReportNamesTheIncompleteEntries()
{
    // A heading that holds "%1" is named as it is.
    const QString path = m_fixture->dictionary(QStringLiteral("D.dic"), QStringLiteral("辞書D"),
                                               {{QStringLiteral("割引%1"), 1, {}, {QStringLiteral("わりびき")}},
                                                {QStringLiteral("梨"), 1, {}, {QStringLiteral("なし")}}});
    // The properties and every keyword row are gone, in the table and in the index that holds
    // their text; the index of entry numbers still names the entries.
    QVERIFY(damageProperties(path));
    for (const char *name : {"Index", "Index_Index"})
        QVERIFY(test::damagePage(path, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '%1'").arg(QLatin1String(name))));
    m_fixture->writeSet({path});
    m_files->queueFile(m_fixture->path(QStringLiteral("D-救出.dic")));
    m_fixture->prompter.queueAnswer(Answer::Ok);
    m_fixture->prompter.queueAnswer(Answer::Yes);
    bool done = false;
    onRecoverDialog(done, [](QDialog &dialog) { dialog.findChild<QPushButton *>(QStringLiteral("cmdSalvage"))->click(); });
    openSet();
    QTRY_VERIFY(done);
    QTRY_VERIFY(!QApplication::activeModalWidget());

    const QString report = m_fixture->prompter.texts().join(QLatin1Char('|'));
    QVERIFY2(report.contains(QStringLiteral("0 件の項目を救出しました。読めなかった項目: 0 件\n"
                                            "一部を読めなかった項目: 2 件（キーワード「救出:不完全」で探せます）\n"
                                            "　1: 割引%1\n　2: 梨\nキーワード: 0 件を救出、読めなかったもの 2 件")),
             qPrintable(report));
    QCOMPARE(lookup(*m_database, QStringLiteral("救出:不完全")),
             (QStringList{QStringLiteral("0:救出:不完全"), QStringLiteral("0:救出:不完全")}));
}

QTEST_MAIN(tst_recover)
#include "tst_recover.moc"
