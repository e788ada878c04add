#include "fixture.h"
#include "tests/common/stocksqlite.h"

#include "app/common/storemessages.h"
#include "app/main/mdimain.h"
#include "app/search/frmsearchindexlist.h"
#include "app/viewers/textviewer.h"
#include "app/viewers/webviewers.h"
#include "manual/manualinstaller.h"
#include "platform/desktop/twips.h"

#include <QApplication>
#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QHeaderView>
#include <QRegularExpression>
#include <QDir>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>

#include <functional>
#include <thread>

using namespace qm;
using qm::app::frmSearchIndexList;
using qm::app::mdiMain;
using qm::test::NewEntry;

namespace {

// Runs `check` on the result list once it is shown modally (within five seconds).
void whenListShown(const std::function<void(frmSearchIndexList *)> &check, int tries = 500)
{
    QTimer::singleShot(10, qApp, [check, tries] {
        auto *list = qobject_cast<frmSearchIndexList *>(QApplication::activeModalWidget());
        if (list) {
            check(list);
            // A failed check must not leave the modal list waiting forever.
            if (list->isVisible())
                list->reject();
        } else if (tries > 0)
            whenListShown(check, tries - 1);
    });
}

QStringList rowsOf(const frmSearchIndexList *list)
{
    QStringList out;
    for (int i = 0; i < list->ListIndex->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->ListIndex->topLevelItem(i);
        out.append(item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') + item->text(2));
    }
    return out;
}

void chooseRow(frmSearchIndexList *list, int row)
{
    list->ListIndex->setCurrentItem(list->ListIndex->topLevelItem(row));
    QTest::keyClick(list->ListIndex, Qt::Key_Return);
}

void typeInto(QWidget *w, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::KeyAction::Click, w, Qt::Key_unknown, c, Qt::NoModifier);
}

} // namespace

class tst_mdimain final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lookupListsDictionaryByDictionary();
    void rowLimit_data();
    void rowLimit();
    void keywordBoxHistoryAndReservedCharacters();
    void commandsWithNothingToWorkOnSayWhy();
    void helpWithoutABrowserSaysSo();
    void hiddenBarsStayHiddenAndLeaveNoStrip();
    void keywordBoxSearchesWhatWasTyped_data();
    void keywordBoxSearchesWhatWasTyped();
    void notFoundAndBadPattern();
    void aDamagedDictionaryIsNamed();
    void anEntryThatCannotBeReadIsNotToldAsDeleted();
    void choosingOpensTheViewerOfItsType();
    void atMostEightViewersStayOpen();
    void deletedEntrySaysNoRecord();
    void maximisedViewersShowTheHeading();
    void htmlPagesOfTwoDictionariesDoNotCollide();
    void resultListIsEmptiedWhenTheSetChanges();
    void closingStoresPlacementAndRemovesTemporaryFiles();
    void closingIsRefusedWhileAnEditorIsOpen();
    void aMessageBoxDuringALongLookupIsAnsweredAndTheLookupEnds();
    void theWindowRepaintsDuringALongLookup();
    void aNewLookupTakesThePlaceOfTheRunningOne();
    void stoppingALongLookupKeepsTheRowsFound_data();
    void stoppingALongLookupKeepsTheRowsFound();
    void aPlacementOffEveryScreenIsBroughtBack();
    void helpPagesDescribeOnlyWhatTheWindowsDo();

private:
    void start(const QStringList &files);
    // A dictionary of `count` entries ("key0"...), searched slowly: each row found takes 5 ms, so
    // a lookup of "key*" runs count * 5 ms.
    void startSlow(int count);
    mdiMain *window() { return m_window.get(); }
    // Looks the pattern up and waits until the lookup is over (its result list closed included).
    void lookUp(const QString &pattern)
    {
        window()->SearchKeyword(pattern);
        waitForLookup();
    }
    void waitForLookup() { QVERIFY(QTest::qWaitFor([this] { return !window()->isLookingUp(); }, 10000)); }

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<mdiMain> m_window;
};

void tst_mdimain::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
}

void tst_mdimain::cleanup()
{
    if (m_window)
        m_window->close();
    m_window.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
}

void tst_mdimain::start(const QStringList &files)
{
    m_fx->writeSet(files);
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<mdiMain>(*m_db, *m_settings, m_fx->prompter);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_mdimain::lookupListsDictionaryByDictionary()
{
    const QString a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("仕事"),
                                       {{QStringLiteral("会議"), 1, {}, {QStringLiteral("かいぎ"), QStringLiteral("カイ")}},
                                        {QStringLiteral("外国"), 2, {}, {QStringLiteral("がいこく")}}});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("趣味"),
                                       {{QStringLiteral("海"), 3, {}, {QStringLiteral("ｶｲ")}}});
    start({a, b});
    QStringList rows;
    whenListShown([&](frmSearchIndexList *list) {
        rows = rowsOf(list);
        QCOMPARE(list->txtSearchIndex->text(), QStringLiteral("かい*"));
        QVERIFY(!list->lblMaxFlag->isVisible());
        QCOMPARE(list->lblNumberOfCases->text(), QStringLiteral("1/3件"));
        QTest::keyClick(list->ListIndex, Qt::Key_Down);
        QCOMPARE(list->lblNumberOfCases->text(), QStringLiteral("2/3件"));
        QTest::keyClick(list->ListIndex, Qt::Key_Escape);
    });
    lookUp(QStringLiteral("かい*"));
    QCOMPARE(rows, (QStringList{QStringLiteral("カイ|会議|①仕事"), QStringLiteral("かいぎ|会議|①仕事"),
                                QStringLiteral("ｶｲ|海|②趣味")}));
    QVERIFY(window()->viewers().isEmpty());
}

void tst_mdimain::rowLimit_data()
{
    QTest::addColumn<int>("matches");
    QTest::addColumn<int>("listed");
    QTest::addColumn<bool>("flag");
    QTest::newRow("999") << 999 << 999 << false;
    QTest::newRow("1000") << 1000 << 1000 << true;
    QTest::newRow("1001") << 1001 << 1000 << true;
}

void tst_mdimain::rowLimit()
{
    QFETCH(int, matches);
    QFETCH(int, listed);
    QFETCH(bool, flag);
    QList<NewEntry> first, second;
    for (int i = 0; i < matches; ++i)
        (i < 600 ? first : second).append({QStringLiteral("h%1").arg(i), 1, {}, {QStringLiteral("k%1").arg(i, 4, 10, QLatin1Char('0'))}});
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), first),
           m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("B"), second)});
    int rows = 0;
    bool shown = false;
    whenListShown([&](frmSearchIndexList *list) {
        rows = list->ListIndex->topLevelItemCount();
        shown = list->lblMaxFlag->isVisible();
        list->reject();
    });
    lookUp(QStringLiteral("k*"));
    QCOMPARE(rows, listed);
    QCOMPARE(shown, flag);
}

void tst_mdimain::keywordBoxHistoryAndReservedCharacters()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("h"), 1, {}, {QStringLiteral("abc")}}})});
    QLineEdit *edit = window()->cboKeyWord->lineEdit();
    QComboBox *box = window()->cboKeyWord;
    box->setFocus();
    // Keys go to the combo box as the keyboard sends them.
    typeInto(box, QStringLiteral("a[b]\"c"));
    QCOMPARE(edit->text(), QStringLiteral("abc"));
    int lookups = 0;
    for (int i = 0; i < 2; ++i) {
        whenListShown([&](frmSearchIndexList *list) {
            ++lookups;
            list->reject();
        });
        QTest::keyClick(box, Qt::Key_Return);
        waitForLookup();
        QCOMPARE(edit->text(), QStringLiteral("abc"));
    }
    QCOMPARE(lookups, 2);
    // Each keyword is offered once, the latest first and as last typed; an empty lookup still
    // runs but leaves no empty line.
    const auto enter = [&](const QString &text) {
        box->setEditText(text);
        whenListShown([&](frmSearchIndexList *list) {
            ++lookups;
            list->reject();
        });
        QTest::keyClick(box, Qt::Key_Return);
        waitForLookup();
    };
    enter(QStringLiteral("a"));
    enter(QStringLiteral("ABC"));
    enter(QString());
    QCOMPARE(lookups, 5);
    QStringList history;
    for (int i = 0; i < box->count(); ++i)
        history << box->itemText(i);
    QCOMPARE(history, (QStringList{QStringLiteral("ABC"), QStringLiteral("a")}));
}

void tst_mdimain::commandsWithNothingToWorkOnSayWhy()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("h"), 1, {}, {QStringLiteral("abc")}}})});
    const auto run = [&](const char *name) {
        m_fx->prompter.clear();
        window()->findChild<QAction *>(QString::fromLatin1(name))->trigger();
        return m_fx->prompter.texts();
    };
    QCOMPARE(run("mnuFilePrint"), QStringList{QStringLiteral("印刷するデータがありません。データを表示してから印刷してください")});
    QCOMPARE(run("mnuFindSearchResult"), QStringList{QStringLiteral("検索結果はありません。キーワードを入力して検索してください")});
    const QWidget *focus = window()->focusWidget();
    QVERIFY(focus == window()->cboKeyWord || focus == window()->cboKeyWord->lineEdit());
    // After a lookup the list comes back without a word.
    whenListShown([](frmSearchIndexList *list) { list->reject(); });
    lookUp(QStringLiteral("a*"));
    bool shown = false;
    whenListShown([&](frmSearchIndexList *list) {
        shown = list->ListIndex->topLevelItemCount() == 1;
        list->reject();
    });
    QVERIFY(run("mnuFindSearchResult").isEmpty());
    QVERIFY(shown);
}

void tst_mdimain::helpWithoutABrowserSaysSo()
{
    start({});
    m_fx->navigator.setSucceeds(false);
    window()->findChild<QAction *>(QStringLiteral("mnuHelpContents"))->trigger();
    QCOMPARE(m_fx->navigator.opened().size(), 1);
    QCOMPARE(m_fx->navigator.opened().at(0), QUrl::fromLocalFile(QFileInfo(m_fx->path(QStringLiteral("ShowHelp.htm"))).canonicalFilePath()));
    QCOMPARE(m_fx->prompter.messages().size(), 1);
    QVERIFY(m_fx->prompter.messages().at(0).text.startsWith(QStringLiteral("ヘルプを表示するWebブラウザが見つかりませんでした。")));
    QCOMPARE(m_fx->prompter.messages().at(0).title, QStringLiteral("Quillmere"));
}

void tst_mdimain::hiddenBarsStayHiddenAndLeaveNoStrip()
{
    start({});
    const auto toggle = [&](const char *name) { window()->findChild<QAction *>(QString::fromLatin1(name))->trigger(); };
    toggle("mnuViewToolbar");
    toggle("mnuViewStatusBar");
    QVERIFY(window()->close());
    m_window.reset();

    start({});
    for (const char *name : {"mnuViewToolbar", "mnuViewStatusBar"})
        QVERIFY2(!window()->findChild<QAction *>(QString::fromLatin1(name))->isChecked(), name);
    QVERIFY(!window()->findChild<QToolBar *>(QStringLiteral("tbToolBar"))->isVisible());
    QVERIFY(!window()->statusBar()->isVisible());
    // The child area reaches the bottom of the window.
    auto *area = window()->findChild<QMdiArea *>(QStringLiteral("mdiArea"));
    QTRY_COMPARE(area->geometry().bottom(), window()->rect().bottom());
    toggle("mnuViewStatusBar");
    QVERIFY(window()->statusBar()->isVisible());
}

void tst_mdimain::keywordBoxSearchesWhatWasTyped_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("inputMethod");
    QTest::newRow("prefix of an earlier keyword") << QStringLiteral("babe") << QStringLiteral("bab") << false;
    QTest::newRow("other letter case") << QStringLiteral("babe") << QStringLiteral("BAB") << false;
    QTest::newRow("committed by an input method") << QStringLiteral("かい") << QStringLiteral("か") << true;
}

// The history is offered in the drop-down list only; what the user typed is what is searched.
void tst_mdimain::keywordBoxSearchesWhatWasTyped()
{
    QFETCH(QString, earlier);
    QFETCH(QString, typed);
    QFETCH(bool, inputMethod);
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                            {{QStringLiteral("h"), 1, {}, {QStringLiteral("babe"), QStringLiteral("かい")}}})});
    QComboBox *box = window()->cboKeyWord;
    QLineEdit *edit = box->lineEdit();
    box->setFocus();
    auto enter = [&](const QString &text, bool viaInputMethod) {
        if (viaInputMethod) {
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(edit, &commit);
        } else {
            typeInto(box, text);
        }
    };
    enter(earlier, inputMethod);
    whenListShown([](frmSearchIndexList *list) { list->reject(); });
    QTest::keyClick(box, Qt::Key_Return);
    waitForLookup();

    // Back in the main window, as after the list was closed.
    QVERIFY(QTest::qWaitForWindowActive(window()));
    QTRY_VERIFY(edit->hasFocus());
    edit->clear();
    enter(typed, inputMethod);
    QCOMPARE(edit->text(), typed);
    QVERIFY(!edit->hasSelectedText());
    QString searched;
    whenListShown([&](frmSearchIndexList *list) {
        searched = list->txtSearchIndex->text();
        list->reject();
    });
    QTest::keyClick(box, Qt::Key_Return);
    waitForLookup();
    QCOMPARE(searched, typed + QLatin1Char('*'));
    QCOMPARE(box->itemText(0), typed);
    QCOMPARE(box->itemText(1), earlier);
}

void tst_mdimain::notFoundAndBadPattern()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("h"), 1, {}, {QStringLiteral("abc")}}})});
    lookUp(QStringLiteral("zzz*"));
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("見つかりません")});
    QCOMPARE(m_fx->prompter.messages().at(0).title, QStringLiteral("Quillmere"));
    m_fx->prompter.clear();
    lookUp(QStringLiteral("a[bc*"));
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("クエリーの書式にエラーが発生しました")});
}

void tst_mdimain::aDamagedDictionaryIsNamed()
{
    const QString a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("無事"), {{QStringLiteral("h"), 1, {}, {QStringLiteral("abc")}}});
    const QString b = m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("破損"), {{QStringLiteral("i"), 1, {}, {QStringLiteral("abd")}}});
    // The keyword index's page overwritten, as a failing disk or another program may leave it.
    QVERIFY(test::damagePage(b, QStringLiteral("SELECT rootpage FROM sqlite_schema WHERE name = 'Index_Index'")));
    start({a, b});
    // The other dictionary's rows are still listed.
    QStringList listed;
    whenListShown([&listed](frmSearchIndexList *list) { listed = rowsOf(list); });
    lookUp(QStringLiteral("ab*"));
    QCOMPARE(m_fx->prompter.texts(),
             QStringList{QStringLiteral("検索できませんでした。\n辞書 ②破損: ファイルが壊れているか、データベースではありません")});
    QCOMPARE(listed.size(), 1);
    QVERIFY2(listed.constFirst().startsWith(QStringLiteral("abc|h|")), qPrintable(listed.join(QLatin1Char(' '))));
}

void tst_mdimain::anEntryThatCannotBeReadIsNotToldAsDeleted()
{
    const QString a = m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("h"), 1, QByteArray(20000, 'x'), {QStringLiteral("abc")}}});
    QVERIFY(test::damagePage(a, QStringLiteral("SELECT min(pageno) FROM dbstat WHERE name = 'Document' AND pagetype = 'overflow'")));
    start({a});
    whenListShown([](frmSearchIndexList *list) { chooseRow(list, 0); });
    lookUp(QStringLiteral("abc*"));
    QCOMPARE(m_fx->prompter.texts(),
             QStringList{QStringLiteral("項目を読めませんでした。\n辞書 %1: ファイルが壊れているか、データベースではありません").arg(a)});
}

void tst_mdimain::choosingOpensTheViewerOfItsType()
{
    QByteArray body = text::cp932::encode(QStringLiteral("本文です")).bytes;
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                            {{QStringLiteral("テキスト"), 1, body, {QStringLiteral("key")}},
                             {QStringLiteral("リンク"), 3, QByteArray("https://example.invalid/"), {QStringLiteral("link")}}})});
    whenListShown([](frmSearchIndexList *list) { chooseRow(list, 0); });
    lookUp(QStringLiteral("key*"));
    QCOMPARE(window()->viewers().size(), 1);
    auto *text = qobject_cast<app::mdiTextBox *>(window()->viewers().at(0));
    QVERIFY(text);
    QCOMPARE(text->TextBox->toPlainText(), QStringLiteral("本文です"));
    QCOMPARE(text->windowTitle(), QStringLiteral("テキスト"));
    QCOMPARE(text->Tag, QStringLiteral("1"));
    qint16 slot = -1;
    qint32 number = 0;
    text->GetDocument(slot, number);
    QCOMPARE(slot, qint16(0));
    QCOMPARE(number, 1);
    QVERIFY(window()->cboKeyWord->currentText().isEmpty());
    QTRY_COMPARE(window()->findChild<QLabel *>(QStringLiteral("sbStatusBarPanel1"))->text(),
                 QStringLiteral("更新日 1998/12/17"));
    // The tests run under the C locale, whose short date form is "17 Dec 1998": the windows
    // show the Japanese numeric form whatever the locale, the current date as well.
    QVERIFY(QLocale::system().language() != QLocale::Japanese);
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    QTRY_COMPARE(window()->findChild<QLabel *>(QStringLiteral("sbStatusBarPanel2"))->text(), today);

    whenListShown([](frmSearchIndexList *list) { chooseRow(list, 0); });
    lookUp(QStringLiteral("link*"));
    auto *url = qobject_cast<app::mdiURL *>(window()->viewers().last());
    QVERIFY(url);
    QCOMPARE(url->GetURL(), QStringLiteral("https://example.invalid/"));
    QCOMPARE(m_fx->navigator.opened().last(), QUrl(QStringLiteral("https://example.invalid/")));
}

void tst_mdimain::atMostEightViewersStayOpen()
{
    QList<NewEntry> entries;
    for (int i = 1; i <= 10; ++i)
        entries.append({QStringLiteral("見出し%1").arg(i), 1, {}, {}});
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), entries)});
    for (int i = 1; i <= 9; ++i)
        window()->ShowDocument(0, i);
    QStringList tags;
    for (auto *v : window()->viewers())
        tags.append(v->Tag);
    tags.sort();
    QCOMPARE(tags.size(), 8);
    QVERIFY(!tags.contains(QStringLiteral("1")));
    QVERIFY(tags.contains(QStringLiteral("9")));

    // A viewer the user closed already is not counted again.
    for (auto *v : window()->viewers())
        if (v->Tag == QStringLiteral("2"))
            v->parentWidget()->close();
    QTRY_COMPARE(window()->viewers().size(), 7);
    window()->ShowDocument(0, 10);
    QCOMPARE(window()->viewers().size(), 8);
    const QList<app::ViewerWindow *> open = window()->viewers();
    QVERIFY(std::any_of(open.cbegin(), open.cend(), [](const app::ViewerWindow *v) { return v->Tag == QStringLiteral("3"); }));
}

void tst_mdimain::deletedEntrySaysNoRecord()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("h"), 1, {}, {}}})});
    window()->ShowDocument(0, 0);
    QVERIFY(m_fx->prompter.messages().isEmpty());
    window()->ShowDocument(0, 42);
    window()->ShowDocument(5, 1);
    QCOMPARE(m_fx->prompter.texts(), QStringList(2, QStringLiteral("レコードがありません。削除された可能性があります。")));
    QVERIFY(window()->viewers().isEmpty());
}

void tst_mdimain::maximisedViewersShowTheHeading()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                            {{QStringLiteral("一"), 1, {}, {}}, {QStringLiteral("二"), 1, {}, {}}, {QStringLiteral("三"), 1, {}, {}}})});
    window()->ShowDocument(0, 1);
    app::ViewerWindow *first = window()->viewers().at(0);
    QVERIFY(!first->label1()->isVisible());
    QCOMPARE(first->bodyControl()->y(), 0);
    qobject_cast<QMdiSubWindow *>(first->parentWidget())->showMaximized();
    QTRY_VERIFY(first->label1()->isVisible());
    QCOMPARE(first->label1()->text(), QStringLiteral("一"));
    QCOMPARE(first->bodyControl()->y(), desktop::Twips::toPixels(240));
    QCOMPARE(first->bodyControl()->height(), first->height() - desktop::Twips::toPixels(240));
    QCOMPARE(window()->options().ViewerWindowState, quint8(2));

    window()->ShowDocument(0, 2);
    auto *second = qobject_cast<QMdiSubWindow *>(window()->viewers().last()->parentWidget());
    QVERIFY(second->isMaximized());
    second->showNormal();
    QTRY_COMPARE(window()->options().ViewerWindowState, quint8(0));
    window()->ShowDocument(0, 3);
    QVERIFY(!qobject_cast<QMdiSubWindow *>(window()->viewers().last()->parentWidget())->isMaximized());
}

void tst_mdimain::htmlPagesOfTwoDictionariesDoNotCollide()
{
    const QByteArray pageA = text::cp932::encode(QStringLiteral("<p>一</p>")).bytes;
    const QByteArray pageB = QByteArray("<p>two \x82\xA0 \x85</p>");
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("A"), 4, pageA, {}}}),
           m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("B"), {{QStringLiteral("B"), 4, pageB, {}}})});
    window()->ShowDocument(0, 1);
    window()->ShowDocument(1, 1);
    QCOMPARE(m_fx->navigator.opened().size(), 2);
    QFile a(m_fx->path(QStringLiteral("Temp1_0.htm")));
    QFile b(m_fx->path(QStringLiteral("Temp1_1.htm")));
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(a.readAll(), "\xEF\xBB\xBF" + QStringLiteral("<p>一</p>").toUtf8());
    // A byte that was no character comes back as the replacement character, not as a question mark.
    QCOMPARE(b.readAll(), "\xEF\xBB\xBF" + QStringLiteral("<p>two あ \uFFFD</p>").toUtf8());
    QCOMPARE(m_fx->navigator.opened().at(0), QUrl::fromLocalFile(a.fileName()));
}

void tst_mdimain::resultListIsEmptiedWhenTheSetChanges()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("h"), 1, {}, {QStringLiteral("abc")}}})});
    whenListShown([](frmSearchIndexList *list) { list->reject(); });
    lookUp(QStringLiteral("a*"));
    QCOMPARE(window()->searchIndexList()->ListIndex->topLevelItemCount(), 1);
    // Another file in the slot: the rows would name its entries. (The same files reopened keep
    // the rows.)
    m_db->CloseDictionarySet();
    const QString other =
        m_fx->dictionary(QStringLiteral("b.dic"), QStringLiteral("B"), {{QStringLiteral("h"), 1, {}, {QStringLiteral("abc")}}});
    m_db->sets().replace(0, store::DictionarySet(m_db->sets().at(0).name(), {other}));
    m_db->OpenDictionarySet();
    int rows = -1;
    whenListShown([&](frmSearchIndexList *list) {
        rows = list->ListIndex->topLevelItemCount();
        list->reject();
    });
    store::Slot slot;
    qint32 number = 0;
    QVERIFY(!window()->searchIndexList()->ReturnSelectData(slot, number));
    QCOMPARE(rows, 0);
}

void tst_mdimain::closingStoresPlacementAndRemovesTemporaryFiles()
{
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("p"), 4, QByteArray("<p>x</p>"), {}}})});
    window()->ShowDocument(0, 1);
    // Files of this program's names go; files that only look alike are the user's and stay.
    const QStringList ours{QStringLiteral("Temp_new.ole"), QStringLiteral("Temp12_3.ole"), QStringLiteral("Temp7_9.htm")};
    const QStringList theirs{QStringLiteral("notes.htm"), QStringLiteral("Template.htm"), QStringLiteral("temperature.HTM"),
                             QStringLiteral("TEMP1_0.htm"), QStringLiteral("Temp1_0.htm.bak"), QStringLiteral("Temp.ole"),
                             QStringLiteral("Tempo_1.ole"), QStringLiteral("temp_new.ole")};
    for (const QString &name : ours + theirs) {
        QFile file(m_fx->path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QRect normal = window()->geometry();
    window()->showMaximized();
    QTRY_VERIFY(window()->isMaximized());
    QVERIFY(window()->close());
    QSettings s(QStringLiteral("Quillmere"), QStringLiteral("Quillmere"));
    QCOMPARE(s.value(QStringLiteral("MainWindow/WindowState")).toString(), QStringLiteral("2"));
    QCOMPARE(s.value(QStringLiteral("MainWindow/FormWidth")).toFloat(), float(desktop::Twips::fromPixels(normal.width())));
    QCOMPARE(s.value(QStringLiteral("MainWindow/FormHeight")).toFloat(), float(desktop::Twips::fromPixels(normal.height())));
    QVERIFY(!QFile::exists(m_fx->path(QStringLiteral("Temp1_0.htm")))); // the viewer's page
    for (const QString &name : ours)
        QVERIFY2(!QFile::exists(m_fx->path(name)), qPrintable(name));
    for (const QString &name : theirs)
        QVERIFY2(QFile::exists(m_fx->path(name)), qPrintable(name));
    // The set file and the counts were written.
    QVERIFY(QFile::exists(m_fx->path(QStringLiteral("DicSets.ini"))));
    QCOMPARE(store::Dictionary(m_fx->path(QStringLiteral("a.dic"))).property(QStringLiteral("DocumentRecordCount")), QVariant(1));
}

void tst_mdimain::closingIsRefusedWhileAnEditorIsOpen()
{
    start({});
    QWidget editor;
    window()->windows.entryWindowShown = [shown = QPointer<QWidget>(&editor)] { return shown && shown->isVisible(); };
    editor.show();
    QVERIFY(window()->IsEditorOpen());
    QVERIFY(!window()->close());
    QCOMPARE(m_fx->prompter.texts(), QStringList{QStringLiteral("新規登録または修正中のデータのウィンドウを閉じてから終了してください")});
    editor.hide();
    QVERIFY(!window()->IsEditorOpen());
    QVERIFY(window()->close());
}

void tst_mdimain::startSlow(int count)
{
    QList<NewEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append({QStringLiteral("見出し%1").arg(i), 1, {}, {QStringLiteral("key%1").arg(i)}});
    start({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("大"), entries)});
    m_db->searchWorker().setRowPause(std::chrono::milliseconds(5));
}

// As the hourly backup reports a failure: the report comes queued from another thread while a
// lookup runs; the box is answered, and the lookup still ends with its whole list.
void tst_mdimain::aMessageBoxDuringALongLookupIsAnsweredAndTheLookupEnds()
{
    startSlow(300);
    bool shownDuringLookup = false;
    int answer = -1;
    std::thread reporter([&] {
        QThread::msleep(200);
        QMetaObject::invokeMethod(
            window(),
            [&] {
                shownDuringLookup = window()->isLookingUp();
                QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillmere"), QStringLiteral("バックアップできませんでした"),
                                QMessageBox::Ok, window());
                // Answered as a user does, with a key.
                QTimer::singleShot(100, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
                answer = box.exec();
            },
            Qt::QueuedConnection);
    });
    QStringList rows;
    whenListShown([&](frmSearchIndexList *list) { rows = rowsOf(list); });
    lookUp(QStringLiteral("key*"));
    reporter.join();
    QVERIFY(shownDuringLookup);
    QCOMPARE(answer, int(QMessageBox::Ok));
    QCOMPARE(rows.size(), 300);
}

void tst_mdimain::theWindowRepaintsDuringALongLookup()
{
    startSlow(400);
    store::SearchWorker &worker = m_db->searchWorker();
    // Every 10 ms the window asks to be painted; the gaps between paints are measured while the
    // lookup runs.
    struct PaintClock final : QObject {
        store::SearchWorker *worker = nullptr;
        QElapsedTimer clock;
        qint64 last = -1;
        qint64 longestGap = 0;
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && worker->isRunning()) {
                const qint64 now = clock.elapsed();
                if (last >= 0)
                    longestGap = std::max(longestGap, now - last);
                last = now;
                ++paints;
            }
            return false;
        }
    } paintClock;
    paintClock.worker = &worker;
    paintClock.clock.start();
    window()->installEventFilter(&paintClock);
    QTimer ask;
    connect(&ask, &QTimer::timeout, window(), [this] { window()->update(); });
    ask.start(10);
    QElapsedTimer lookup;
    lookup.start();
    whenListShown([](frmSearchIndexList *list) { list->reject(); });
    lookUp(QStringLiteral("key*"));
    window()->removeEventFilter(&paintClock);
    QVERIFY2(lookup.elapsed() >= 2000, qPrintable(QString::number(lookup.elapsed())));
    QVERIFY2(paintClock.paints >= 20, qPrintable(QString::number(paintClock.paints)));
    // A lookup run on the window's thread would stop the paints for its whole 2 s; a loaded
    // machine (a sanitizer build beside other work) may delay one paint by a few hundred ms.
    QVERIFY2(paintClock.longestGap <= 500, qPrintable(QString::number(paintClock.longestGap)));
}

void tst_mdimain::aNewLookupTakesThePlaceOfTheRunningOne()
{
    startSlow(300);
    frmSearchIndexList *list = window()->searchIndexList();
    window()->SearchKeyword(QStringLiteral("key*"));
    QTRY_VERIFY(list->ListIndex->topLevelItemCount() > 0);
    m_db->searchWorker().setRowPause({});
    QStringList rows;
    QString searched;
    whenListShown([&](frmSearchIndexList *shown) {
        rows = rowsOf(shown);
        searched = shown->txtSearchIndex->text();
    });
    lookUp(QStringLiteral("key12*"));
    // Only the second lookup's rows: key12 and key120 to key129.
    QCOMPARE(searched, QStringLiteral("key12*"));
    QCOMPARE(rows.size(), 11);
    for (const QString &row : std::as_const(rows))
        QVERIFY2(row.startsWith(QStringLiteral("key12")), qPrintable(row));
    // No row of the first comes later either.
    QTest::qWait(100);
    QCOMPARE(list->ListIndex->topLevelItemCount(), 11);
    QVERIFY(m_fx->prompter.texts().isEmpty());
}

void tst_mdimain::stoppingALongLookupKeepsTheRowsFound_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc") << QStringLiteral("esc");
    QTest::newRow("stop button") << QStringLiteral("button");
    // Closing the window, or the set closing under the lookup, ends it showing nothing.
    QTest::newRow("closing") << QStringLiteral("close");
    QTest::newRow("set closed") << QStringLiteral("set");
}

void tst_mdimain::stoppingALongLookupKeepsTheRowsFound()
{
    QFETCH(QString, how);
    startSlow(300);
    auto *stop = window()->findChild<QPushButton *>(QStringLiteral("cmdStopSearch"));
    QVERIFY(stop && stop->isHidden());
    window()->cboKeyWord->setFocus();
    window()->SearchKeyword(QStringLiteral("key*"));
    QTRY_VERIFY(stop->isVisible() && window()->searchIndexList()->ListIndex->topLevelItemCount() > 0);
    QStringList rows;
    bool stoppedShown = false;
    const bool dropped = how == QLatin1String("close") || how == QLatin1String("set");
    if (!dropped)
        whenListShown([&](frmSearchIndexList *shown) {
            rows = rowsOf(shown);
            stoppedShown = shown->lblStopped->isVisible() && !shown->lblMaxFlag->isVisible();
        });
    if (how == QLatin1String("esc"))
        QTest::keyClick(window()->cboKeyWord, Qt::Key_Escape);
    else if (how == QLatin1String("button"))
        stop->click();
    else if (how == QLatin1String("set"))
        m_db->CloseDictionarySet();
    else
        QVERIFY(window()->close());
    waitForLookup();
    QTRY_VERIFY(stop->isHidden());
    QVERIFY(m_fx->prompter.texts().isEmpty());
    if (dropped) {
        QVERIFY(!m_db->searchWorker().isRunning());
        QTest::qWait(100);
        QVERIFY(!QApplication::activeModalWidget());
        return;
    }
    QVERIFY(stoppedShown);
    QVERIFY2(!rows.isEmpty() && rows.size() < 300, qPrintable(QString::number(rows.size())));
    QCOMPARE(rows.first(), QStringLiteral("key0|見出し0|①大"));
}

void tst_mdimain::aPlacementOffEveryScreenIsBroughtBack()
{
    {
        store::Settings settings;
        settings.setFormLeft(200000);
        settings.setFormTop(200000);
        settings.sync();
    }
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The whole frame, title bar included, is on the screen; so it is when started again with
    // the place saved at the end.
    for (int run = 0; run < 2; ++run) {
        start({});
        const QRect frame = window()->frameGeometry();
        QVERIFY2(frame.top() >= screen.top() && frame.left() >= screen.left(),
                 qPrintable(QStringLiteral("run %1: frame at %2,%3").arg(run).arg(frame.left()).arg(frame.top())));
        QVERIFY(frame.top() < window()->geometry().top()); // the frame has a title bar here
        QCOMPARE(window()->width(), desktop::Twips::toPixels(8000));
        QVERIFY(window()->close());
        m_window.reset();
    }
}

// The help pages name no key the windows do not take, and promise sorting by a column header
// only where the list sorts.
void tst_mdimain::helpPagesDescribeOnlyWhatTheWindowsDo()
{
    start({});
    QList<QKeySequence> shortcuts;
    for (const QWidget *w : {static_cast<QWidget *>(window()), static_cast<QWidget *>(window()->searchIndexList())})
        for (const QAction *action : w->findChildren<QAction *>())
            shortcuts << action->shortcuts();
    const bool listSorts = window()->searchIndexList()->ListIndex->header()->sectionsClickable();
    static const QRegularExpression key(QStringLiteral("<kbd>((?:Ctrl|Alt|Shift)\\+[^<]+)</kbd>"));
    for (const QString &name : manual::ManualInstaller::pageNames()) {
        QFile file(QStringLiteral(":/manual/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch &m : key.globalMatch(page))
            QVERIFY2(shortcuts.contains(QKeySequence(m.captured(1))), qPrintable(name + QLatin1Char(' ') + m.captured(1)));
        // Only the result list's own section may promise sorting by its headers (the heading
        // grid does sort).
        const qsizetype result = page.indexOf(QStringLiteral("id=\"Result\""));
        const QString resultSection = result < 0 ? QString() : page.mid(result, page.indexOf(QStringLiteral("<h2"), result + 1) - result);
        QVERIFY2(listSorts || !resultSection.contains(QStringLiteral("列の見出しをクリック")), qPrintable(name));
    }
}

QTEST_MAIN(tst_mdimain)
#include "tst_mdimain.moc"
