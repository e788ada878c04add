#include "tests/app/main/fixture.h"

#include "app/common/storemessages.h"
#include "app/entry/frmnewdata.h"
#include "app/main/entrywindows.h"
#include "app/main/maincommands.h"
#include "app/main/mdimain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

using namespace qm;

// The main window's New command opens one new-entry window beside it, and the main window
// treats it as an open entry window.
class tst_NewEntryCommand : public QObject
{
    Q_OBJECT

private slots:
    void newCommandOpensOneWindow();
};

namespace {

QList<app::frmNewData *> newDataWindows()
{
    QList<app::frmNewData *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<app::frmNewData *>(w); f && f->isVisible())
            found.append(f);
    return found;
}

} // namespace

void tst_NewEntryCommand::newCommandOpensOneWindow()
{
    test::ProgramFixture fx;
    fx.writeSet({fx.dictionary(QStringLiteral("a.dic"), QStringLiteral("辞書A"), {})});
    store::DatabaseModule database(qm::app::storeHost(fx.prompter), fx.dir.path());
    store::Settings settings;
    app::mdiMain window(database, settings, fx.prompter);
    app::installEntryWindows(window, database, settings, fx.prompter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.IsEditorOpen());

    window.commands()->action(QStringLiteral("mnuEditNew"))->trigger();
    QCOMPARE(newDataWindows().size(), 1);
    app::frmNewData *form = newDataWindows().constFirst();
    QVERIFY(form->isWindow());
    QCOMPARE(form->windowTitle(), QStringLiteral("Quillmere - 新規登録"));
    QCOMPARE(form->cboDictionary->itemText(0), QStringLiteral("① 辞書A"));
    QVERIFY(window.IsEditorOpen());

    // The shortcut and the toolbar button while it is open: still one window.
    form->txtHeading->setText(QStringLiteral("typed"));
    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
    window.commands()->toolBar()->findChild<QAction *>(QStringLiteral("New"))->trigger();
    QCOMPARE(newDataWindows().size(), 1);
    QCOMPARE(newDataWindows().constFirst()->txtHeading->text(), QStringLiteral("typed"));
    window.commands()->refreshEditMenu();
    QVERIFY(!window.commands()->action(QStringLiteral("mnuEditNew"))->isEnabled());

    // The main window does not close under an open entry window.
    fx.prompter.clear();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());

    // Closed (without saving), the window goes; the next New makes a fresh one.
    QPointer<app::frmNewData> old = form;
    fx.prompter.queueAnswer(desktop::Prompter::Answer::No);
    QVERIFY(form->close());
    QTRY_VERIFY(old.isNull());
    QVERIFY(!window.IsEditorOpen());
    window.commands()->refreshEditMenu();
    window.commands()->action(QStringLiteral("mnuEditNew"))->trigger();
    QCOMPARE(newDataWindows().size(), 1);
    QVERIFY(newDataWindows().constFirst()->txtHeading->text().isEmpty());
    newDataWindows().constFirst()->close();
}

QTEST_MAIN(tst_NewEntryCommand)
#include "tst_newentrycommand.moc"
