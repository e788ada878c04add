// The modification window on a dictionary on a server (a private cluster the test starts), with
// another program's connection beside it: the entry it edits is held, another program's change
// since it was read is refused with the window kept, a lost connection keeps the edit for a
// retry, and a move between the server and a file loses nothing.

#include "tests/app/main/fixture.h"
#include "tests/common/pgcluster.h"

#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"
#include "app/main/entrywindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"
#include "app/store/server/serverdictionary.h"
#include "platform/text/cp932.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QThread>

using namespace qm;
using app::frmModifyData;
using app::frmNewData;
using desktop::Prompter;
using test::visible;

namespace {

const QString InUse = QStringLiteral("このデータはほかのプログラムが使用中のため修正できません。\nしばらくしてからやり直してください。");

} // namespace

class tst_servermodify final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void editedEntryIsRefusedToAnotherProgram();
    void changeByAnotherProgramIsRefusedKeepingTheWindow();
    void lostConnectionKeepsTheWindowForRetry();
    void moveBetweenServerAndFileLosesNothing();

private:
    frmModifyData *modify(qint16 slot, qint32 number);
    std::unique_ptr<store::DictionaryStorage> otherProgram() const;

    std::unique_ptr<test::PgCluster> m_cluster;
    QString m_location;
    int m_round = 0;
    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_database;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<app::mdiMain> m_main;
    qint32 m_entry = 0;
};

void tst_servermodify::initTestCase()
{
    try {
        m_cluster = std::make_unique<test::PgCluster>();
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
}

// Each test has a dictionary of its own on the server, beside an empty file dictionary.
void tst_servermodify::init()
{
    m_location = m_cluster->uri(QStringLiteral("チーム%1").arg(++m_round));
    store::ServerOptions options;
    options.createIfMissing = true;
    const std::unique_ptr<store::DictionaryStorage> made = store::openServerDictionary(m_location, options);
    store::Entry e;
    e.Viewer = 1;
    e.Heading = QStringLiteral("共有の見出し");
    e.Document = text::cp932::encode(QStringLiteral("共有の本文")).bytes;
    m_entry = made->addEntry(e, {QStringLiteral("共有"), QStringLiteral("team")});

    m_fx = std::make_unique<test::ProgramFixture>();
    const QString file = m_fx->dictionary(QStringLiteral("B.dic"), QStringLiteral("辞書B"), {});
    m_fx->writeSet({m_location, file});
    m_database = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_main = std::make_unique<app::mdiMain>(*m_database, *m_settings, m_fx->prompter);
    app::installEntryWindows(*m_main, *m_database, *m_settings, m_fx->prompter);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QVERIFY(m_database->storage(0) && m_database->storage(1));
    m_fx->prompter.clear();
}

void tst_servermodify::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<frmNewData *>(w); f && f->isVisible()) {
            m_fx->prompter.queueAnswer(Prompter::Answer::No);
            f->close();
        }
    m_main.reset();
    m_database.reset();
    m_settings.reset();
    m_fx.reset();
}

frmModifyData *tst_servermodify::modify(qint16 slot, qint32 number)
{
    m_main->ShowDocument(slot, number);
    m_main->commands()->refreshEditMenu();
    QAction *command = m_main->commands()->action(QStringLiteral("mnuEditModify"));
    if (!command->isEnabled())
        return nullptr;
    command->trigger();
    return visible<frmModifyData>("frmModifyData");
}

std::unique_ptr<store::DictionaryStorage> tst_servermodify::otherProgram() const
{
    return store::openServerDictionary(m_location, {});
}

void tst_servermodify::editedEntryIsRefusedToAnotherProgram()
{
    const std::unique_ptr<store::DictionaryStorage> other = otherProgram();
    // Held by the other program: the window refuses as it does for a file in use.
    other->holdEntry(m_entry);
    QVERIFY(!modify(0, m_entry));
    QCOMPARE(m_fx->prompter.texts(), QStringList{InUse});
    other->releaseEntry();

    // Held by the window: the other program is refused until the edit ends.
    m_fx->prompter.clear();
    frmModifyData *w = modify(0, m_entry);
    QVERIFY(w);
    try {
        other->holdEntry(m_entry);
        QFAIL("an entry held by the window was held by another program");
    } catch (const sqlite::Error &e) {
        QVERIFY(store::isStoreError(e, store::FailureKind::InUse));
    }
    w->txtHeading->setText(QStringLiteral("書き換えた見出し"));
    w->mnuFileRenew->trigger();
    QVERIFY(!w->isVisible());
    other->holdEntry(m_entry);
    QCOMPARE(other->document(m_entry)->Heading, QStringLiteral("書き換えた見出し"));
}

void tst_servermodify::changeByAnotherProgramIsRefusedKeepingTheWindow()
{
    frmModifyData *w = modify(0, m_entry);
    QVERIFY(w);
    // The other program writes without holding the entry.
    const std::unique_ptr<store::DictionaryStorage> other = otherProgram();
    store::Entry theirs = *other->document(m_entry);
    theirs.Heading = QStringLiteral("ほかの人の見出し");
    QVERIFY(other->updateEntry(theirs));

    w->txtHeading->setText(QStringLiteral("わたしの見出し"));
    w->mnuFileRenew->trigger();
    QVERIFY(w->isVisible());
    QCOMPARE(w->txtHeading->text(), QStringLiteral("わたしの見出し"));
    const QString told = m_fx->prompter.texts().join(QLatin1Char('\n'));
    QVERIFY2(told.startsWith(QStringLiteral("データを更新できませんでした。\nこのデータは、読み込んだ後に ")), qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("変更しました")) && told.contains(QStringLiteral("「破棄」")), qPrintable(told));
    QCOMPARE(other->document(m_entry)->Heading, QStringLiteral("ほかの人の見出し"));
    QCOMPARE(other->keywords(m_entry), (QStringList{QStringLiteral("共有"), QStringLiteral("team")}));
}

void tst_servermodify::lostConnectionKeepsTheWindowForRetry()
{
    frmModifyData *w = modify(0, m_entry);
    QVERIFY(w);
    w->txtHeading->setText(QStringLiteral("切断の後の見出し"));
    m_cluster->psql(QStringLiteral("postgres"), QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                                "WHERE application_name = 'Quillmere'"));
    QThread::msleep(300); // the sessions end a moment after they are told to
    w->mnuFileRenew->trigger();
    QVERIFY(w->isVisible());
    QCOMPARE(w->txtHeading->text(), QStringLiteral("切断の後の見出し"));
    const QString told = m_fx->prompter.texts().join(QLatin1Char('\n'));
    QVERIFY2(told.contains(QStringLiteral("接続が切れました")) || told.contains(QStringLiteral("取り消されました")), qPrintable(told));
    // The user tries again once the server answers: stored, and held for the window meanwhile.
    m_fx->prompter.clear();
    w->mnuFileRenew->trigger();
    QVERIFY2(!w->isVisible(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('\n'))));
    QCOMPARE(otherProgram()->document(m_entry)->Heading, QStringLiteral("切断の後の見出し"));
}

// Server to file and back: the copy is committed before the source entry is deleted.
void tst_servermodify::moveBetweenServerAndFileLosesNothing()
{
    const auto move = [&](qint16 from, qint32 number, qint16 to) {
        frmModifyData *w = modify(from, number);
        QVERIFY(w);
        m_fx->prompter.queueAnswer(Prompter::Answer::Yes);
        w->mnuEditMoveDic->trigger();
        frmNewData *form = visible<frmNewData>("frmNewData");
        QVERIFY(form);
        form->cboDictionary->setCurrentIndex(to);
        QVERIFY2(form->RegisterEntry(), qPrintable(m_fx->prompter.texts().join(QLatin1Char('\n'))));
        m_fx->prompter.queueAnswer(Prompter::Answer::No);
        form->close();
    };
    store::DictionaryStorage &server = *m_database->storage(0);
    store::DictionaryStorage &file = *m_database->storage(1);
    move(0, m_entry, 1);
    QVERIFY(!server.document(m_entry));
    QCOMPARE(file.entryNumbers().size(), std::size_t(1));
    const qint32 inFile = file.entryNumbers().front();
    QCOMPARE(file.keywords(inFile), (QStringList{QStringLiteral("共有"), QStringLiteral("team")}));

    move(1, inFile, 0);
    QVERIFY(file.entryNumbers().empty());
    QCOMPARE(server.entryNumbers().size(), std::size_t(1));
    const qint32 back = server.entryNumbers().front();
    QCOMPARE(server.document(back)->Heading, QStringLiteral("共有の見出し"));
    QCOMPARE(text::cp932::decode(server.document(back)->Document), QStringLiteral("共有の本文"));
    QCOMPARE(server.keywords(back), (QStringList{QStringLiteral("共有"), QStringLiteral("team")}));
}

QTEST_MAIN(tst_servermodify)
#include "tst_servermodify.moc"
