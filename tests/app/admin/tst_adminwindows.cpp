// The administration windows as the main window's commands show them.

#include "tests/app/admin/adminfixture.h"
#include "tests/app/main/fixture.h"
#include "tests/common/testfiles.h"

#include "app/common/storemessages.h"
#include "app/admin/frmabout.h"
#include "app/admin/frmdictionarysetslist.h"
#include "app/admin/frmoption.h"
#include "app/admin/frmsetupdictionary.h"
#include "app/main/adminwindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"

#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <memory>

using namespace qm;
using app::mdiMain;

namespace {

// Runs `work` on the modal window of type T once it is shown; closes it if the work did not.
template <typename T>
void onModal(std::function<void(T *)> work, bool *seen, int tries = 50)
{
    QTimer::singleShot(0, qApp, [work, seen, tries] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            *seen = true;
            work(w);
            if (w->isVisible())
                w->close();
        } else if (tries > 0) {
            onModal<T>(work, seen, tries - 1);
        }
    });
}

} // namespace

class tst_adminwindows final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dictionarySetsCommand();
    void deletingTheOnlySetDisablesEditAndFind();
    void setupDictionaryCommand();
    void optionsAndVersion();

private:
    QAction *item(const char *name) { return m_window->commands()->action(QString::fromLatin1(name)); }
    QMenu *menu(const char *name) { return m_window->commands()->menu(QString::fromLatin1(name)); }

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<mdiMain> m_window;
};

void tst_adminwindows::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    m_fx->writeSet({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                                     {{QStringLiteral("one"), 1, {}, {QStringLiteral("k1")}},
                                      {QStringLiteral("two"), 1, {}, {QStringLiteral("k2")}}})});
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<mdiMain>(*m_db, *m_settings, m_fx->prompter);
    app::installAdminWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_adminwindows::cleanup()
{
    if (m_window)
        m_window->close();
    m_window.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
}

void tst_adminwindows::dictionarySetsCommand()
{
    m_window->ShowDocument(0, 1);
    m_window->ShowDocument(0, 2);
    QCOMPARE(m_window->viewers().size(), 2);
    bool seen = false;
    bool closedMeanwhile = false;
    onModal<app::frmDictionarySetsList>([&](app::frmDictionarySetsList *list) {
        closedMeanwhile = m_db->dictionary(0) == nullptr;
        QCOMPARE(list->lstDicSets->currentRow(), 0);
        list->cmdOpen->click();
    }, &seen);
    QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(seen);
    QVERIFY(closedMeanwhile);
    // The same set stays current, yet every viewer is closed.
    QTRY_COMPARE(m_window->viewers().size(), 0);
    QVERIFY(m_db->dictionary(0));
    QVERIFY(menu("mnuEdit")->isEnabled() && menu("mnuFind")->isEnabled());
    // The main window has the focus again, in its keyword box.
    QTRY_COMPARE(QApplication::activeWindow(), m_window.get());
    QTRY_VERIFY(m_window->cboKeyWord->hasFocus());

    // The toolbar button shows it as well.
    seen = false;
    onModal<app::frmDictionarySetsList>([](app::frmDictionarySetsList *list) { list->close(); }, &seen);
    m_window->commands()->toolBar()->findChild<QAction *>(QStringLiteral("DicSets"))->trigger();
    QVERIFY(seen);
    QVERIFY(m_db->dictionary(0));
}

void tst_adminwindows::deletingTheOnlySetDisablesEditAndFind()
{
    bool seen = false;
    onModal<app::frmDictionarySetsList>([](app::frmDictionarySetsList *list) {
        list->cmdDelete->click();
        QCOMPARE(list->lstDicSets->count(), 0);
        list->close();
    }, &seen);
    item("mnuFileDicSets")->trigger();
    QVERIFY(seen);
    QCOMPARE(m_db->OpenDictionarySetsIndex(), -1);
    QVERIFY(!menu("mnuEdit")->isEnabled());
    QVERIFY(!menu("mnuFind")->isEnabled());
}

void tst_adminwindows::setupDictionaryCommand()
{
    test::Dictionaries offered;
    const QString file = offered.make(QStringLiteral("gift.dic"), QStringLiteral("贈り物"), 2);
    bool seen = false;
    bool hidden = false;
    bool closedMeanwhile = false;
    onModal<app::frmSetupDictionary>([&](app::frmSetupDictionary *dialog) {
        hidden = !m_window->isVisible();
        closedMeanwhile = m_db->dictionary(0) == nullptr;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillmere - 配布辞書の登録"));
        dialog->DropFiles({file});
        dialog->cmdClose->click();
    }, &seen);
    item("mnuToolSetupDictionary")->trigger();
    QVERIFY(seen);
    QVERIFY(hidden);
    QVERIFY(closedMeanwhile);
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("「贈り物」を辞書セットに登録しますか")});
    // The copy beside the program opens with the set.
    QVERIFY(m_db->dictionary(1));
    QCOMPARE(m_db->dictionary(1)->path(), m_fx->path(QStringLiteral("gift.dic")));
}

void tst_adminwindows::optionsAndVersion()
{
    bool seen = false;
    onModal<app::frmOption>([](app::frmOption *options) {
        options->optBrowserMDI->setChecked(true);
        options->cmdOK->click();
    }, &seen);
    item("mnuToolOption")->trigger();
    QVERIFY(seen);
    QCOMPARE(m_window->options().BrowserInMdi, quint8(1));
    QCOMPARE(test::ProgramFixture::storedSettings().value(QStringLiteral("MainWindow/HTMLMode")).toString(),
             QStringLiteral("1"));

    seen = false;
    onModal<app::frmAbout>([](app::frmAbout *about) {
        QCOMPARE(about->lblVersion->text(), app::versionCaption(app::programVersion()));
        about->cmdMail->click();
    }, &seen);
    item("mnuHelpAbout")->trigger();
    QVERIFY(seen);
    QTRY_COMPARE(m_fx->navigator.opened().size(), 1);
    QVERIFY(QFile::exists(m_fx->path(QStringLiteral("ShowHelp.htm"))));
    QVERIFY(test::readFile(m_fx->path(QStringLiteral("ShowHelp.htm"))).contains("manual/Introduction.htm#Mail"));
}

QTEST_MAIN(tst_adminwindows)
#include "tst_adminwindows.moc"
