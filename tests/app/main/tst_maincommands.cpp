#include "fixture.h"
#include "resultlistwatch.h"
#include "tests/controls/webenginetestmain.h"

#include "app/common/storemessages.h"
#include "app/main/copycommand.h"
#include "app/main/entrywindows.h"
#include "app/main/searchwindows.h"
#include "app/main/maincommands.h"
#include "app/main/startcommand.h"
#include "app/main/mdimain.h"
#include "app/search/frmsearchindexlist.h"
#include "app/viewers/viewerwindow.h"
#include "platform/desktop/printservice.h"
#include "platform/rtf/rtf.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTreeWidget>
#include <QMdiArea>
#include <QMenuBar>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace qm;
using qm::app::mdiMain;
using qm::test::NewEntry;

namespace {

// Runs `check` on the modal window of type T once it is shown, then closes it.
template <typename T>
void onModal(std::function<void(T *)> check, int tries = 50, int intervalMs = 0)
{
    QTimer::singleShot(intervalMs, qApp, [check, tries, intervalMs] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            check(w);
            if (w->isVisible())
                w->reject();
        } else if (tries > 0) {
            onModal<T>(check, tries - 1, intervalMs);
        }
    });
}

// The result list of a lookup comes once the search worker is done: looked for over three seconds.
template <typename T>
void onLookupList(std::function<void(T *)> check)
{
    onModal<T>(std::move(check), 300, 10);
}

// Waits until the lookup the window runs is over, its result list closed included.
bool lookupOver(const qm::app::mdiMain &window)
{
    return QTest::qWaitFor([&window] { return !window.isLookingUp(); }, 10000);
}

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Where the first word of a PDF's first page starts, in points from the page's top left.
QPointF firstWordAt(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    static const QRegularExpression word(QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)")re"));
    const QRegularExpressionMatch m = word.match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QPointF(-1, -1);
}

QByteArray cp932(const char *utf8)
{
    return text::cp932::encode(QString::fromUtf8(utf8)).bytes;
}

} // namespace

class tst_maincommands final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void menusMatchTheHelp();
    void enablingFollowsTheState();
    void shortcutsActOnTheStateOfTheMoment();
    void ctrlCRightAfterALookupCopiesTheEntry();
    void newWindowsOpenCascadedInFront();
    void anOpenEntryWindowBlocksNewModifyAndSets();
    void dictionarySetsClosesEveryViewer();
    void copyPutsEachKindOnTheClipboard();
    void printingTextAndRichText();
    void clipboardSearch();
    void searchWindowsOpenFromTheFindMenu();
    void resultRowsOutliveReopeningTheSameSet();
    void aHandedCommandLineLooksTheWordUp();

private:
    void start();
    void open(int row);
    QAction *item(const char *name) { return m_window->commands()->action(QString::fromLatin1(name)); }
    // The window counts as an entry window while it is shown (and is forgotten when it goes).
    void standInForEntryWindow(QWidget &editor)
    {
        m_window->windows.entryWindowShown = [shown = QPointer<QWidget>(&editor)] { return shown && shown->isVisible(); };
    }
    QAction *button(const char *key) { return m_window->commands()->toolBar()->findChild<QAction *>(QString::fromLatin1(key)); }

    std::unique_ptr<test::ProgramFixture> m_fx;
    std::unique_ptr<store::DatabaseModule> m_db;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<desktop::ScriptedPrintService> m_printing;
    std::unique_ptr<mdiMain> m_window;
};

void tst_maincommands::init()
{
    m_fx = std::make_unique<test::ProgramFixture>();
    QApplication::clipboard()->clear();
}

void tst_maincommands::cleanup()
{
    if (m_window)
        m_window->close();
    m_window.reset();
    m_printing.reset();
    m_settings.reset();
    m_db.reset();
    m_fx.reset();
}

// One dictionary with an entry of each viewed kind: text, rich text, URL, HTML.
void tst_maincommands::start()
{
    QString longText;
    for (int i = 0; i < 150; ++i)
        longText += QStringLiteral("行%1 日本語のテキスト\r\n").arg(i);
    const QString rtf = rtf::plainTextToRtf(QStringLiteral("リッチな本文"), QFont());
    m_fx->writeSet({m_fx->dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                                     {{QStringLiteral("text"), 1, text::cp932::encode(longText).bytes, {QStringLiteral("a1")}},
                                      {QStringLiteral("rich"), 2, rtf.toLatin1(), {QStringLiteral("a2")}},
                                      {QStringLiteral("url"), 3, cp932("https://example.org/ページ"), {QStringLiteral("a3")}},
                                      {QStringLiteral("html"), 4, cp932("<p>ページ</p>"), {QStringLiteral("a4")}}})});
    m_db = std::make_unique<store::DatabaseModule>(qm::app::storeHost(m_fx->prompter), m_fx->dir.path());
    m_settings = std::make_unique<store::Settings>();
    m_window = std::make_unique<mdiMain>(*m_db, *m_settings, m_fx->prompter);
    app::installSearchWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_printing = std::make_unique<desktop::ScriptedPrintService>(m_fx->path(QStringLiteral("out.pdf")));
    m_window->setPrintService(m_printing.get());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// Opens entry number `row` + 1 of the first dictionary in a viewer.
void tst_maincommands::open(int row)
{
    m_window->ShowDocument(0, row + 1);
    QVERIFY(m_window->activeViewer());
}

// A caption without its access key and ellipsis, as the help and the toolbar name it.
static QString bareCaption(QString caption)
{
    static const QRegularExpression accessKey(QStringLiteral("\\(&.\\)"));
    caption.remove(accessKey);
    return caption.endsWith(QStringLiteral("...")) ? caption.chopped(3) : caption;
}

// The help's table of menus, one "menu|item|shortcut" per item. A cell may name several items
// ("A / B (Ctrl+P)"); its shortcut is the last one's.
static QStringList helpMenuTable()
{
    QFile page(QStringLiteral(QM_MANUAL_DIR "/Main.htm"));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(page.readAll());
    const QString table = html.section(QStringLiteral("id=\"Menus\""), 1).section(QStringLiteral("</table>"), 0, 0);
    static const QRegularExpression row(QStringLiteral("<tr><td>([^<]*)</td><td>(.*?)</td>"));
    static const QRegularExpression shortcut(QStringLiteral("\\s*\\(<kbd>(.*)</kbd>\\)$"));
    QStringList items;
    QString menu;
    for (const QRegularExpressionMatch &m : row.globalMatch(table)) {
        if (!m.captured(1).isEmpty())
            menu = m.captured(1);
        QString cell = m.captured(2);
        const QRegularExpressionMatch key = shortcut.match(cell);
        cell.remove(shortcut);
        const QStringList names = cell.split(QStringLiteral(" / "));
        for (qsizetype i = 0; i < names.size(); ++i)
            items << menu + QLatin1Char('|') + names[i] + QLatin1Char('|') + (i + 1 == names.size() ? key.captured(1) : QString());
    }
    return items;
}

// Every menu item as the help describes it; the toolbar's buttons are items with a picture,
// named by their item.
void tst_maincommands::menusMatchTheHelp()
{
    start();
    QStringList items;
    QStringList captions;
    for (QAction *top : m_window->menuBar()->actions()) {
        for (QAction *a : top->menu()->actions()) {
            if (a->isSeparator())
                continue;
            captions << bareCaption(a->text());
            items << bareCaption(top->text()) + QLatin1Char('|') + captions.last() + QLatin1Char('|') + a->shortcut().toString();
        }
    }
    QCOMPARE(items, helpMenuTable());
    QStringList keys;
    for (QAction *b : m_window->commands()->toolBar()->actions()) {
        keys << (b->isSeparator() ? QStringLiteral("-") : b->objectName());
        QVERIFY2(b->isSeparator() || (captions.contains(b->toolTip()) && !b->icon().pixmap(QSize(48, 48)).isNull()),
                 qPrintable(b->objectName()));
    }
    QCOMPARE(keys.join(QLatin1Char(' ')), QStringLiteral("DicSets Print - Copy New Modify - Find FindClip List Heading - "
                                                         "Cascade TileHorizontal TileVertical"));
}

// The items each state of the window disables, and what a disabled item's button does: nothing.
void tst_maincommands::enablingFollowsTheState()
{
    start();
    QWidget editor;
    standInForEntryWindow(editor);
    const auto disabled = [this] {
        m_window->commands()->refresh();
        m_window->commands()->refreshFindMenu();
        QStringList names;
        for (QAction *top : m_window->menuBar()->actions())
            for (QAction *a : top->menu()->actions())
                if (!a->isSeparator() && !a->isEnabled())
                    names << a->objectName();
        return names.join(QLatin1Char(' '));
    };
    QCOMPARE(disabled(), QStringLiteral("mnuEditCopy mnuEditModify mnuFindSearchFindSelected"));
    button("Copy")->trigger();
    QVERIFY(m_fx->prompter.messages().isEmpty());
    QVERIFY(!button("Copy")->isEnabled() && !button("Modify")->isEnabled() && button("New")->isEnabled());
    open(0);
    QCOMPARE(disabled(), QStringLiteral("mnuFindSearchFindSelected"));
    editor.show();
    QCOMPARE(disabled(), QStringLiteral("mnuFileDicSets mnuFileExport mnuFileImport mnuFileBackups mnuEditNew "
                                        "mnuEditModify mnuFindSearchFindSelected mnuToolSetupDictionary"));
    editor.hide();
    QApplication::clipboard()->setText(QStringLiteral(" word "));
    QCOMPARE(disabled(), QString());
    QApplication::clipboard()->setText(QStringLiteral(" \n"));
    QCOMPARE(disabled(), QStringLiteral("mnuFindSearchFindSelected"));
}

// Opens a menu of the menu bar with its access key and closes it again, as a user glancing at it.
static void glanceAt(QMainWindow &window, QMenu *menu, Qt::Key accessKey)
{
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, accessKey, Qt::AltModifier);
    QTRY_VERIFY(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_Escape);
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : &window, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
}

void tst_maincommands::shortcutsActOnTheStateOfTheMoment()
{
    start();
    int modified = 0, created = 0, sets = 0;
    m_window->windows.modifyEntry = [&](qint16, qint32) { return ++modified > 0; };
    m_window->windows.newEntry = [&] { ++created; };
    m_window->windows.dictionarySets = [&] { ++sets; };
    // The menus were last opened while an entry window was open and no entry was shown.
    QWidget editor;
    standInForEntryWindow(editor);
    editor.show();
    m_window->activateWindow();
    glanceAt(*m_window, m_window->commands()->menu(QStringLiteral("mnuEdit")), Qt::Key_E);
    glanceAt(*m_window, m_window->commands()->menu(QStringLiteral("mnuFile")), Qt::Key_F);
    QVERIFY(!item("mnuEditModify")->isEnabled() && !item("mnuFileDicSets")->isEnabled());
    editor.close();
    open(0);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(m_window.get(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(modified, 1);
    QCOMPARE(created, 1);
    QCOMPARE(sets, 1);
}

void tst_maincommands::ctrlCRightAfterALookupCopiesTheEntry()
{
    start();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QLineEdit *box = m_window->cboKeyWord->lineEdit();
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("a1"));
    onLookupList<app::frmSearchIndexList>([](app::frmSearchIndexList *list) { QTest::keyClick(list->ListIndex, Qt::Key_Return); });
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(lookupOver(*m_window));
    QVERIFY(m_window->activeViewer());
    QTRY_COMPARE(QApplication::activeWindow(), m_window.get());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY2(QApplication::clipboard()->text().startsWith(QStringLiteral("行0 日本語のテキスト")),
             qPrintable(QApplication::clipboard()->text().left(40)));
}

void tst_maincommands::newWindowsOpenCascadedInFront()
{
    start();
    app::installEntryWindows(*m_window, *m_db, *m_settings, m_fx->prompter);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_N, Qt::ControlModifier);
    QWidget *entry = m_window->findChild<QWidget *>(QStringLiteral("frmNewData"));
    QVERIFY(entry && entry->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), entry);
    const QPoint entryAt = entry->pos();
    entry->close();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QPoint gridAt;
    onModal<QDialog>([&](QDialog *grid) { gridAt = grid->pos(); });
    QTest::keyClick(m_window.get(), Qt::Key_H, Qt::ControlModifier);
    const QPoint mainAt = m_window->pos();
    for (const QPoint &at : {entryAt, gridAt})
        QVERIFY2(at.x() > mainAt.x() + 10 && at.y() > mainAt.y() + 10,
                 qPrintable(QStringLiteral("%1,%2 over %3,%4").arg(at.x()).arg(at.y()).arg(mainAt.x()).arg(mainAt.y())));
}

void tst_maincommands::anOpenEntryWindowBlocksNewModifyAndSets()
{
    start();
    open(0);
    int calls = 0;
    m_window->windows.newEntry = [&] { ++calls; };
    m_window->windows.modifyEntry = [&](qint16, qint32) { return ++calls > 0; };
    m_window->windows.dictionarySets = [&] { ++calls; };
    m_window->windows.setupDictionary = [&] { ++calls; };
    m_window->windows.importEntries = [&] { ++calls; };
    m_window->windows.exportEntries = [&] { ++calls; };
    m_window->windows.backups = [&] { return ++calls > 0; };
    QWidget editor;
    standInForEntryWindow(editor);
    editor.show();
    for (const char *key : {"New", "Modify", "DicSets"})
        button(key)->trigger();
    // Their shortcuts do nothing either.
    for (const char *name : {"mnuEditNew", "mnuEditModify", "mnuFileDicSets", "mnuToolSetupDictionary",
                             "mnuFileExport", "mnuFileImport", "mnuFileBackups"}) {
        QVERIFY2(!item(name)->isEnabled(), name);
        item(name)->trigger();
    }
    QCOMPARE(calls, 0);
    QCOMPARE(m_window->viewers().size(), 1);
    editor.hide();
    button("New")->trigger();
    button("Modify")->trigger();
    QCOMPARE(calls, 2);
}

void tst_maincommands::dictionarySetsClosesEveryViewer()
{
    start();
    open(0);
    open(1);
    m_window->windows.dictionarySets = [this] { m_db->sets().choose(-1); };
    button("DicSets")->trigger();
    QTRY_COMPARE(m_window->viewers().size(), 0);
    QVERIFY(!m_window->commands()->menu(QStringLiteral("mnuEdit"))->isEnabled());
    QVERIFY(!m_window->commands()->menu(QStringLiteral("mnuFind"))->isEnabled());
    // With the toolbar, the Find commands of a disabled menu do nothing.
    int searches = 0;
    m_window->windows.conditionSearch = [&](store::Slot &, qint32 &) { return ++searches < 0; };
    button("Find")->trigger();
    QCOMPARE(searches, 0);
    m_window->windows.dictionarySets = [this] { m_db->sets().choose(0); };
    item("mnuFileDicSets")->trigger();
    QVERIFY(m_window->commands()->menu(QStringLiteral("mnuFind"))->isEnabled());
    button("Find")->trigger();
    QCOMPARE(searches, 1);
}

void tst_maincommands::copyPutsEachKindOnTheClipboard()
{
    start();
    QClipboard *clipboard = QApplication::clipboard();
    open(0);
    button("Copy")->trigger();
    QVERIFY(clipboard->text().startsWith(QStringLiteral("行0 日本語のテキスト\n")));

    open(1);
    button("Copy")->trigger();
    const QMimeData *data = clipboard->mimeData();
    QVERIFY(data->hasFormat(QString::fromLatin1(app::RtfMimeType)));
    QCOMPARE(rtf::rtfToPlainText(QString::fromLatin1(data->data(QString::fromLatin1(app::RtfMimeType)))),
             QStringLiteral("リッチな本文"));
    QCOMPARE(data->text(), QStringLiteral("リッチな本文"));

    open(2);
    button("Copy")->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("https://example.org/ページ"));

    open(3);
    button("Copy")->trigger();
    QVERIFY(clipboard->text().isEmpty());
    QCOMPARE(m_fx->prompter.texts().size(), 1);
    QCOMPARE(m_fx->prompter.texts().at(0).split(QLatin1Char('\n')).size(), 3);
}

void tst_maincommands::printingTextAndRichText()
{
    start();
    const QString pdf = m_fx->path(QStringLiteral("out.pdf"));
    open(0);
    // A cancelled dialog prints nothing and says nothing.
    m_printing->queueAnswer(false);
    item("mnuFilePrint")->trigger();
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(m_fx->prompter.messages().isEmpty());

    button("Print")->trigger();
    QCOMPARE(m_printing->titles(), (QStringList{QStringLiteral("印刷"), QStringLiteral("印刷")}));
    const QString printed = pdfText(pdf);
    QVERIFY2(printed.contains(QStringLiteral("行0 日本語のテキスト")), qPrintable(printed.left(200)));
    QVERIFY(printed.contains(QStringLiteral("行149 日本語のテキスト")));
    QVERIFY2(printed.count(QLatin1Char('\f')) >= 2, "150 lines take several pages");

    const QPointF plainAt = firstWordAt(pdf);

    QFile::remove(pdf);
    open(1);
    item("mnuFilePrint")->trigger();
    QVERIFY(pdfText(pdf).contains(QStringLiteral("リッチな本文")));
    // Both kinds of body keep one margin: they start at the same place of the page.
    const QPointF richAt = firstWordAt(pdf);
    QVERIFY2(qAbs(plainAt.x() - richAt.x()) < 3 && qAbs(plainAt.y() - richAt.y()) < 3 && plainAt.x() > 50,
             qPrintable(QStringLiteral("plain at %1,%2, rich at %3,%4").arg(plainAt.x()).arg(plainAt.y()).arg(richAt.x()).arg(richAt.y())));

    // A selection is offered, preselected, and printed alone; without one nothing is offered.
    QFile::remove(pdf);
    open(0);
    auto *text = m_window->activeViewer()->findChild<QPlainTextEdit *>();
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    text->setTextCursor(cursor);
    item("mnuFilePrint")->trigger();
    QCOMPARE(pdfText(pdf).trimmed(), QStringLiteral("行0"));
    QCOMPARE(m_printing->selectionOffered(), QList<bool>({false, false, false, true}));

    // Pages the desktop's browser shows are printed from there: a hint, nothing printed.
    QFile::remove(pdf);
    open(3);
    item("mnuFilePrint")->trigger();
    QVERIFY(!QFile::exists(pdf));
    QVERIFY(m_fx->prompter.texts().last().startsWith(QStringLiteral("ＨＴＭＬのデータの印刷について\n　")));

    // A page shown inside the window is printed by its browser, without a word.
    const qsizetype told = m_fx->prompter.messages().size();
    m_window->options().BrowserInMdi = 1;
    open(3);
    auto *view = m_window->activeViewer()->findChild<QWebEngineView *>();
    QVERIFY(view);
    QTRY_VERIFY_WITH_TIMEOUT(!view->page()->isLoading() && view->url().isLocalFile(), 30000);
    item("mnuFilePrint")->trigger();
    QVERIFY(pdfText(pdf).contains(QStringLiteral("ページ")));
    QCOMPARE(m_fx->prompter.messages().size(), told);
}

void tst_maincommands::clipboardSearch()
{
    start();
    QApplication::clipboard()->clear();
    m_window->commands()->refreshFindMenu();
    QVERIFY(!item("mnuFindSearchFindSelected")->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("  a  "));
    m_window->commands()->refreshFindMenu();
    QVERIFY(item("mnuFindSearchFindSelected")->isEnabled());
    int rows = -1;
    onLookupList<app::frmSearchIndexList>([&](app::frmSearchIndexList *list) {
        rows = list->ListIndex->topLevelItemCount();
        QCOMPARE(list->txtSearchIndex->text(), QStringLiteral("a*"));
    });
    button("FindClip")->trigger();
    QVERIFY(lookupOver(*m_window));
    QCOMPARE(rows, 4);
    // The keyword box shows the text, and its history did not grow.
    QCOMPARE(m_window->cboKeyWord->count(), 0);
}

void tst_maincommands::searchWindowsOpenFromTheFindMenu()
{
    start();
    QString shown;
    onModal<QDialog>([&](QDialog *dialog) { shown += dialog->objectName() + QLatin1Char(' '); });
    item("mnuFindSearchFind")->trigger();
    onModal<QDialog>([&](QDialog *dialog) { shown += dialog->objectName(); });
    button("Heading")->trigger();
    QCOMPARE(shown, QStringLiteral("frmSearchDialog frmDataGrid"));
}

// Rows of the result list, as the list shows them when it is opened from the Find menu.
static int shownResultRows(QAction *command)
{
    int rows = -1;
    onModal<app::frmSearchIndexList>([&rows](app::frmSearchIndexList *list) { rows = list->ListIndex->topLevelItemCount(); });
    command->trigger();
    return rows;
}

void tst_maincommands::resultRowsOutliveReopeningTheSameSet()
{
    start();
    onLookupList<app::frmSearchIndexList>([](app::frmSearchIndexList *) {});
    m_window->SearchKeyword(QStringLiteral("a*"));
    QVERIFY(lookupOver(*m_window));
    QCOMPARE(shownResultRows(item("mnuFindSearchResult")), 4);

    // The distributed registration closes and reopens the set; nothing was added.
    m_window->windows.setupDictionary = [] {};
    item("mnuToolSetupDictionary")->trigger();
    QCOMPARE(shownResultRows(item("mnuFindSearchResult")), 4);
}

void tst_maincommands::aHandedCommandLineLooksTheWordUp()
{
    start();
    // Words handed over while the heading grid waits are looked up at once, each in turn.
    QStringList shown;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *list = qobject_cast<app::frmSearchIndexList *>(QApplication::activeModalWidget())) {
            shown << list->txtSearchIndex->text() + QLatin1Char('|') + m_window->cboKeyWord->currentText();
            QTest::keyClick(list->ListIndex, Qt::Key_Escape);
        }
    });
    poll.start(20);
    onModal<QDialog>([&](QDialog *grid) {
        QCOMPARE(grid->objectName(), QStringLiteral("frmDataGrid"));
        app::runCommandLine(*m_window, *m_db, app::StartRequest::search(QStringLiteral("a2")));
        app::runCommandLine(*m_window, *m_db, app::StartRequest::search(QStringLiteral("a3")));
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2, 3000);
        QVERIFY(!grid->isVisible());
    });
    item("mnuFindHeadingList")->trigger();
    QCOMPARE(shown, (QStringList{QStringLiteral("a2*|a2"), QStringLiteral("a3*|a3")}));
}

CORVANE_WEBENGINE_TEST_MAIN(tst_maincommands)
#include "tst_maincommands.moc"
