#include "mdimain.h"

#include "copycommand.h"
#include "maincommands.h"
#include "printcommand.h"
#include "searchstopper.h"
#include "windowarrangement.h"

#include "app/common/keywordcharacters.h"
#include "app/common/showhelp.h"
#include "app/common/waitcursor.h"
#include "app/common/windowsettings.h"
#include "app/icons/viewericons.h"
#include "app/search/frmsearchindexlist.h"
#include "app/store/sets/databasemodule.h"
#include "app/common/storemessages.h"
#include "app/common/corvanehost.h"
#include "app/viewers/textviewer.h"
#include "app/viewers/viewerfactory.h"
#include "controls/webnavigate/desktoplink.h"
#include "platform/desktop/accessiblename.h"
#include "platform/desktop/datetext.h"
#include "platform/desktop/printservice.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/prompter.h"
#include "platform/desktop/twips.h"
#include "platform/desktop/windowstate.h"

#include <QApplication>
#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>

namespace qm::app {
namespace {

using desktop::Twips;

// The hourglass over the window for the life of the object, whatever way the scope ends.
} // namespace

mdiMain::mdiMain(store::DatabaseModule &database, store::Settings &settings, desktop::Prompter &prompter,
                 QWidget *parent)
    : QMainWindow(parent)
    , m_database(database)
    , m_settings(settings)
    , m_prompter(prompter)
    , m_viewerContext{m_options, prompter, desktop::ProgramFolder::path(), {}, {}}
    , m_mdiArea(new QMdiArea(this))
{
    setObjectName(QStringLiteral("mdiMain"));
    setWindowTitle(QStringLiteral("Quillmere"));
    setWindowIcon(programIcon());
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &mdiMain::subWindowActivated);
    m_viewerContext.setStatusText = [this](const QString &text) { m_statusPanel->setText(text); };
    m_viewerContext.focusKeywordBox = [this] { focusKeywordBox(); };
    m_ownPrinting = std::make_unique<desktop::DialogPrintService>();
    m_printing = m_ownPrinting.get();
    buildCommands();
    addToolBarBreak();
    buildKeywordStrip();
    // Tab stays inside a child window; F6 moves between the keyword box and the active one.
    connect(new QShortcut(QKeySequence(Qt::Key_F6), this), &QShortcut::activated, this, &mdiMain::switchFocusArea);
    buildStatusBar();
    // A lookup that reads every key takes seconds on large sets: it runs on the search worker,
    // and Esc or the stop button ends it with the rows found so far.
    new SearchStopper(m_database.searchWorker(), statusBar(), this);
    load();
}

mdiMain::~mdiMain()
{
    // The child windows are hidden while the base class goes: their activation must not reach
    // this part of the window any more.
    disconnect(m_mdiArea, nullptr, this, nullptr);
    m_commands->stopWatching();
    // The store outlives the window: a lookup still running is of no use any more.
    if (m_lookingUp)
        m_database.searchWorker().abandon();
}

void mdiMain::buildKeywordStrip()
{
    tbKeyWord = addToolBar(QStringLiteral("ｷｰﾜｰﾄﾞ"));
    tbKeyWord->setObjectName(QStringLiteral("tbKeyWord"));
    tbKeyWord->setMovable(false);
    cboKeyWord = new QComboBox(tbKeyWord);
    cboKeyWord->setObjectName(QStringLiteral("cboKeyWord"));
    cboKeyWord->setEditable(true);
    cboKeyWord->setInsertPolicy(QComboBox::NoInsert);
    cboKeyWord->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cboKeyWord->setMaxVisibleItems(20);
    // The history stays in the drop-down list; completing from it would search a keyword the
    // user did not type (and would match it ignoring letter case).
    cboKeyWord->setCompleter(nullptr);
    // Keys reach the combo box first (its line edit is only fed by it); direct events to the
    // line edit are filtered as well.
    cboKeyWord->installEventFilter(this);
    cboKeyWord->lineEdit()->installEventFilter(this);
    tbKeyWord->addWidget(cboKeyWord);
    desktop::setAccessibleName(cboKeyWord, QStringLiteral("ｷｰﾜｰﾄﾞ"));
    desktop::nameToolBarExtension(tbKeyWord);

    // The navigation control opens help pages in the user's browser; it needs no place on screen.
    WebNavigate = CorvaneHost::create(QStringLiteral("Corvane.WebNavigate"), QStringLiteral("WebNavigate"), this);
    if (WebNavigate)
        WebNavigate->hide();
}

void mdiMain::buildCommands()
{
    using C = MainCommand;
    using R = MainCommands::Rule;
    using Row = MainCommands::Row;
    const auto menu = [](const char *name, const char *caption, R rule = R::Always) {
        return Row{Row::Kind::Menu, {}, name, caption, "", nullptr, rule, false, {}};
    };
    const auto bar = [](const char *name) { return Row{Row::Kind::Separator, {}, name}; };
    const auto item = [](C command, const char *name, const char *caption, const char *shortcut,
                         const char *icon, R rule, MainCommands::Command handler) {
        return Row{Row::Kind::Item, command, name, caption, shortcut, icon, rule, false, std::move(handler)};
    };
    const auto toggle = [](C command, const char *name, const char *caption, MainCommands::Command handler) {
        return Row{Row::Kind::Item, command, name, caption, "", nullptr, R::Always, true, std::move(handler)};
    };
    // Calls a window's command when the code that builds the window has set it.
    const auto open = [](const std::function<void()> &window) {
        return [&window] {
            if (window)
                window();
        };
    };
    QMdiArea *area = m_mdiArea;
    std::vector<Row> rows{
        menu("mnuFile", "ﾌｧｲﾙ(&F)"),
        item(C::FileDicSets, "mnuFileDicSets", "辞書セットの設定(&O)", "Ctrl+O", "DicSets", R::NoEditor,
             [this] { dictionarySetsCommand(); }),
        bar("mnuFileBar0"),
        // An import writes into the open set's dictionaries, which an entry window may be editing;
        // a restore replaces them, and a take-out writes into one.
        item(C::FileExport, "mnuFileExport", "ｴｸｽﾎﾟｰﾄ(&E)...", "", nullptr, R::NoEditor, open(windows.exportEntries)),
        item(C::FileImport, "mnuFileImport", "ｲﾝﾎﾟｰﾄ(&I)...", "", nullptr, R::NoEditor, open(windows.importEntries)),
        item(C::FileBackups, "mnuFileBackups", "ﾊﾞｯｸｱｯﾌﾟと復元(&B)...", "", nullptr, R::NoEditor,
             [this] { backupsCommand(); }),
        bar("mnuFileBar2"),
        item(C::FilePageSetup, "mnuFilePageSetup", "ﾍﾟｰｼﾞ設定(&U)...", "", nullptr, R::Always,
             [this] { setUpPage(*m_printing); }),
        item(C::FilePrint, "mnuFilePrint", "印刷(&P)...", "Ctrl+P", "Print", R::Always,
             [this] { printViewer(activeViewer(), *m_printing, m_prompter); }),
        bar("mnuFileBar1"),
        item(C::FileExit, "mnuFileExit", "終了(&X)", "", nullptr, R::Always, [this] { close(); }),
        menu("mnuEdit", "編集(&E)", R::SetCurrent),
        item(C::EditCopy, "mnuEditCopy", "ｺﾋﾟｰ(&C)", "Ctrl+C", "Copy", R::Viewer,
             [this] { copyFromViewer(activeViewer(), m_prompter); }),
        bar("mnuEditBar0"),
        item(C::EditNew, "mnuEditNew", "新規登録(&N)", "Ctrl+N", "New", R::NoEditor, open(windows.newEntry)),
        item(C::EditModify, "mnuEditModify", "修正(&R)", "Ctrl+R", "Modify", R::ViewerNoEditor,
             [this] { modifyCommand(); }),
        menu("mnuFind", "検索(&S)", R::SetCurrent),
        item(C::FindSearchFind, "mnuFindSearchFind", "条件検索(&F)", "Ctrl+F", "Find", R::Always,
             [this] { showChosen(windows.conditionSearch); }),
        item(C::FindSearchFindSelected, "mnuFindSearchFindSelected", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから検索(&S)", "Ctrl+S", "FindClip",
             R::ClipboardText, [this] { searchClipboard(); }),
        item(C::FindSearchResult, "mnuFindSearchResult", "検索結果(&L)", "Ctrl+L", "List", R::Always,
             [this] { searchResultCommand(); }),
        item(C::FindHeadingList, "mnuFindHeadingList", "見出し一覧(&H)", "Ctrl+H", "Heading", R::Always,
             [this] { showChosen(windows.headingList); }),
        menu("mnuView", "表示(&V)"),
        toggle(C::ViewToolbar, "mnuViewToolbar", "ﾂｰﾙ ﾊﾞｰ(&T)", [this] { applyBarVisibility(); }),
        toggle(C::ViewStatusBar, "mnuViewStatusBar", "ｽﾃｰﾀｽ ﾊﾞｰ(&B)", [this] { applyBarVisibility(); }),
        menu("mnuWindow", "ｳｨﾝﾄﾞｳ(&W)"),
        item(C::WindowCascade, "mnuWindowCascade", "重ねて表示(&C)", "", "Cascade", R::Always,
             [area] { area->cascadeSubWindows(); }),
        item(C::WindowTileHorizontal, "mnuWindowTileHorizontal", "上下に並べて表示(&H)", "", "TileHorizontal",
             R::Always, [area] { tileOneAboveTheOther(*area); }),
        item(C::WindowTileVertical, "mnuWindowTileVertical", "左右に並べて表示(&V)", "", "TileVertical", R::Always,
             [area] { tileSideBySide(*area); }),
        item(C::WindowArrangeIcons, "mnuWindowArrangeIcons", "ｱｲｺﾝの整列(&A)", "", nullptr, R::Always,
             [area] { arrangeIcons(*area); }),
        menu("mnuTool", "ﾂｰﾙ(&T)"),
        item(C::ToolOption, "mnuToolOption", "ｵﾌﾟｼｮﾝ(&O)", "", nullptr, R::Always, open(windows.options)),
        bar("mnuToolBar0"),
        item(C::ToolSetupDictionary, "mnuToolSetupDictionary", "配布辞書の登録(&D)", "", nullptr, R::NoEditor,
             [this] { setupDictionaryCommand(); }),
        menu("mnuHelp", "ﾍﾙﾌﾟ(&H)"),
        item(C::HelpContents, "mnuHelpContents", "目次(&C)", "", nullptr, R::Always,
             [this] { ShowHelp(QStringLiteral("Main.htm")); }),
        item(C::HelpAbout, "mnuHelpAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)", "", nullptr, R::Always, open(windows.about)),
    };
    MainCommands::State state{
        [this] { return IsEditorOpen(); },
        [this] { return activeViewer() != nullptr; },
        [] { return !QApplication::clipboard()->text().trimmed().isEmpty(); },
    };
    m_commands = new MainCommands(*this, *m_mdiArea, std::move(rows), std::move(state));
}

void mdiMain::backupsCommand()
{
    // The viewers may show entries a restore took away.
    if (!IsEditorOpen() && windows.backups && windows.backups()) {
        closeAllViewers();
        m_commands->setSetCurrent(m_database.OpenDictionarySetsIndex() >= 0);
    }
}

void mdiMain::applyBarVisibility()
{
    m_commands->toolBar()->setVisible(m_commands->action(MainCommand::ViewToolbar)->isChecked());
    statusBar()->setVisible(m_commands->action(MainCommand::ViewStatusBar)->isChecked());
}

void mdiMain::restoreBarVisibility()
{
    namespace keys = store::keys::MainWindow;
    m_commands->action(MainCommand::ViewToolbar)->setChecked(m_settings.value(keys::ShowToolBar) != 0);
    m_commands->action(MainCommand::ViewStatusBar)->setChecked(m_settings.value(keys::ShowStatusBar) != 0);
    applyBarVisibility();
}

void mdiMain::storeBarVisibility()
{
    namespace keys = store::keys::MainWindow;
    m_settings.setValue(keys::ShowToolBar, quint8(m_commands->action(MainCommand::ViewToolbar)->isChecked() ? 1 : 0));
    m_settings.setValue(keys::ShowStatusBar, quint8(m_commands->action(MainCommand::ViewStatusBar)->isChecked() ? 1 : 0));
}

void mdiMain::setPrintService(desktop::PrintService *printing)
{
    m_printing = printing ? printing : m_ownPrinting.get();
}

ViewerWindow *mdiMain::activeViewer() const
{
    QMdiSubWindow *sub = m_mdiArea->currentSubWindow();
    return sub ? qobject_cast<ViewerWindow *>(sub->widget()) : nullptr;
}

void mdiMain::showChosen(const std::function<bool(store::Slot &, qint32 &)> &window)
{
    store::Slot slot;
    qint32 number = 0;
    if (window && window(slot, number))
        ShowDocument(slot, number);
}

void mdiMain::searchResultCommand()
{
    // An empty list would open as an empty window and close again without a word.
    if (!m_searchIndexList->hasRows()) {
        m_prompter.inform(QStringLiteral("検索結果はありません。キーワードを入力して検索してください"));
        focusKeywordBox();
        return;
    }
    showChosen([this](store::Slot &s, qint32 &n) { return m_searchIndexList->ReturnSelectData(s, n); });
}

void mdiMain::dictionarySetsCommand()
{
    // Viewers are closed below; an entry window's unsaved work must not go with them.
    if (IsEditorOpen())
        return;
    if (windows.dictionarySets)
        windows.dictionarySets();
    closeAllViewers();
    m_commands->setSetCurrent(m_database.OpenDictionarySetsIndex() >= 0);
}

void mdiMain::closeAllViewers()
{
    for (ViewerWindow *viewer : viewers())
        if (!viewer->Tag.isEmpty())
            closeViewerWithTag(viewer->Tag);
}

void mdiMain::setupDictionaryCommand()
{
    // The set is closed below: an open entry window would then write into another file's entry.
    if (IsEditorOpen())
        return;
    hide();
    m_database.CloseDictionarySet();
    if (windows.setupDictionary)
        windows.setupDictionary();
    m_database.OpenDictionarySet();
    show();
}

void mdiMain::modifyCommand()
{
    ViewerWindow *viewer = activeViewer();
    // A shortcut can still reach the command while an entry window is open.
    if (!viewer || !windows.modifyEntry || IsEditorOpen())
        return;
    qint16 slot = 0;
    qint32 number = 0;
    viewer->GetDocument(slot, number);
    windows.modifyEntry(slot, number);
}

void mdiMain::searchClipboard()
{
    const QString text = QApplication::clipboard()->text().trimmed();
    if (text.isEmpty())
        return;
    cboKeyWord->setEditText(text);
    SearchKeyword(text + QLatin1Char('*'));
}

void mdiMain::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("sbStatusBar"));
    m_statusPanel = new QLabel(QStringLiteral("ｽﾃｰﾀｽ"), this);
    m_statusPanel->setObjectName(QStringLiteral("sbStatusBarPanel1"));
    auto *date = new QLabel(this);
    date->setObjectName(QStringLiteral("sbStatusBarPanel2"));
    auto *time = new QLabel(this);
    time->setObjectName(QStringLiteral("sbStatusBarPanel3"));
    statusBar()->addWidget(m_statusPanel, 1);
    statusBar()->addPermanentWidget(date);
    statusBar()->addPermanentWidget(time);
    auto tick = [date, time] {
        date->setText(desktop::dateText(QDate::currentDate()));
        time->setText(QTime::currentTime().toString(QStringLiteral("HH:mm")));
    };
    tick();
    auto *clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, tick);
    clock->start(1000);
}

void mdiMain::load()
{
    m_searchIndexList = new frmSearchIndexList(m_database, m_settings, this);
    m_searchIndexList->setHelpHandler([this](const QString &topic) { ShowHelp(topic); });
    restorePlacement();
    restoreBarVisibility();
    m_options = m_settings.readSharedOptions();
    m_database.LoadDictionarySets();
    m_database.OpenDictionarySet();
}

void mdiMain::restorePlacement()
{
    restoreWindow(*this, m_settings, store::keys::MainWindow::Placement);
}

bool mdiMain::eventFilter(QObject *watched, QEvent *event)
{
    const bool keywordBox = watched == cboKeyWord || watched == cboKeyWord->lineEdit();
    if (keywordBox && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            keywordEntered();
            return true;
        }
        if (key->text().size() == 1 && IsReservedKeywordChar(key->text().at(0)))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void mdiMain::keywordEntered()
{
    const QString text = cboKeyWord->currentText();
    rememberKeyword(text);
    cboKeyWord->setCurrentIndex(-1);
    cboKeyWord->setEditText(text);
    SearchKeyword(text + QLatin1Char('*'));
}

void mdiMain::lookUpKeyword(const QString &word)
{
    cboKeyWord->setEditText(word);
    keywordEntered();
}

void mdiMain::lookUpHandedWord(const QString &word)
{
    m_handedWords.append(word);
    // From the event loop, so that words handed over together keep their order.
    QTimer::singleShot(0, this, &mdiMain::runHandedWords);
}

void mdiMain::runHandedWords()
{
    if (m_handedWords.isEmpty() || m_showingHandedWord)
        return;
    // The search windows wait for a choice the user can make again later; they give way. Other
    // dialogs (a question, a running import) are waited for, as is a running search.
    static const QStringList searchWindows{QStringLiteral("frmSearchIndexList"), QStringLiteral("frmDataGrid"),
                                           QStringLiteral("frmSearchDialog")};
    auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (modal && searchWindows.contains(modal->objectName())) {
        modal->reject();
        QTimer::singleShot(0, this, &mdiMain::runHandedWords);
        return;
    }
    if (QApplication::activeModalWidget() || m_lookingUp) {
        QTimer::singleShot(200, this, &mdiMain::runHandedWords);
        return;
    }
    // The next word waits until this lookup is over, its result list closed included.
    m_showingHandedWord = true;
    lookUpKeyword(m_handedWords.takeFirst());
}

void mdiMain::rememberKeyword(const QString &text)
{
    // The history offers each keyword once, the latest first; an empty lookup is not one.
    if (text.isEmpty())
        return;
    for (int i = cboKeyWord->count() - 1; i >= 0; --i)
        if (cboKeyWord->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            cboKeyWord->removeItem(i);
    cboKeyWord->insertItem(0, text);
}

void mdiMain::focusKeywordBox()
{
    activateWindow();
    cboKeyWord->setFocus();
}

void mdiMain::switchFocusArea()
{
    QMdiSubWindow *child = m_mdiArea->activeSubWindow();
    const QWidget *focus = QApplication::focusWidget();
    const bool inKeywordBox = focus && (focus == cboKeyWord || cboKeyWord->isAncestorOf(focus));
    if (inKeywordBox && child)
        child->setFocus(Qt::ShortcutFocusReason);
    else
        focusKeywordBox();
}

void mdiMain::SearchKeyword(const QString &pattern)
{
    // A lookup still running gives way to this one.
    if (m_lookingUp)
        lookupOver();
    m_searchIndexList->beginResults(pattern);
    m_lookingUp = true;
    ++m_lookupTicket;
    m_lookupGeneration = m_database.openGeneration();
    m_lookupSerial = ViewerSerial;
    setCursor(Qt::BusyCursor);
    frmSearchIndexList *list = m_searchIndexList;
    m_database.searchWorker().search(
        m_database.openFiles(), store::SearchRequest::keyword(pattern, frmSearchIndexList::RowLimit), this,
        [list](const std::vector<store::SlotMatch> &rows) { list->addRows(rows); },
        [this, ticket = m_lookupTicket](const store::SearchResults &results) {
            // The end of a lookup another one took the place of belongs to that one's past.
            if (ticket == m_lookupTicket)
                lookupEnded(results);
        });
}

void mdiMain::lookupEnded(const store::SearchResults &results)
{
    if (!m_lookingUp)
        return;
    unsetCursor();
    // Dropped by the worker (the set closed under it, another search took its place): nothing
    // of it is shown.
    if (results.abandoned || m_lookupGeneration != m_database.openGeneration()) {
        lookupOver();
        return;
    }
    m_searchIndexList->endResults(results);
    // A dialog opened meanwhile (a message, the options) is left first.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(200, this, [this, results, ticket = m_lookupTicket] {
            if (ticket == m_lookupTicket)
                lookupEnded(results);
        });
        return;
    }
    showLookupResult(results);
    // An entry that opened keeps the focus; otherwise the user goes on typing.
    if (ViewerSerial == m_lookupSerial)
        focusKeywordBox();
    lookupOver();
}

void mdiMain::showLookupResult(const store::SearchResults &results)
{
    frmSearchIndexList &list = *m_searchIndexList;
    const bool listed = list.hasRows();
    if (const std::optional<store::SearchFailure> &failure = results.failure) {
        // A damaged dictionary gets the offer to recover it instead of the message; its rows
        // would name entries of a set that the recovery opens again.
        if (!failure->isBadPattern() && m_database.offerRecovery(failure->slot, failure->error))
            return;
        // A dictionary that cannot be read is not the pattern's fault: the message says which
        // one failed and why. The rows the other dictionaries gave are still listed.
        m_prompter.inform(failure->isBadPattern() ? QStringLiteral("クエリーの書式にエラーが発生しました")
                                                  : list.failureText(*failure));
        if (!listed)
            return;
    }
    if (!listed) {
        m_prompter.inform(results.cancelled ? QStringLiteral("検索を中止しました") : QStringLiteral("見つかりません"));
        return;
    }
    store::Slot slot;
    qint32 number = 0;
    if (list.ReturnSelectData(slot, number))
        ShowDocument(slot, number);
}

void mdiMain::lookupOver()
{
    m_lookingUp = false;
    unsetCursor();
    // A word handed over by another start waits for the lookup before it to be over.
    if (std::exchange(m_showingHandedWord, false) && !m_handedWords.isEmpty())
        QTimer::singleShot(0, this, &mdiMain::runHandedWords);
}

void mdiMain::ShowDocument(store::Slot slot, qint32 lngDocNumber)
{
    if (lngDocNumber == 0)
        return;
    std::optional<store::Entry> entry;
    if (store::DictionaryStorage *dictionary = slot.isValid() ? m_database.storage(slot.index) : nullptr) {
        try {
            entry = dictionary->document(lngDocNumber);
        } catch (const sqlite::Error &e) {
            // The entry is there but could not be read: that is told, not that it is gone.
            if (!m_database.offerRecovery(slot.index, e))
                m_prompter.inform(QStringLiteral("項目を読めませんでした。\n辞書 %1: %2")
                                      .arg(QDir::toNativeSeparators(dictionary->location()), app::describeFailure(e)));
            return;
        }
    }
    if (!entry) {
        m_prompter.inform(QStringLiteral("レコードがありません。削除された可能性があります。"));
        return;
    }
    ViewerWindow *viewer = createViewer(entry->Viewer);
    if (!viewer)
        return;
    viewer->setWindowIcon(viewerIcon(entry->Viewer));
    viewer->SetDocument(slot.index, lngDocNumber, entry->Heading, entry->Document, entry->RenewalDate);
    ++ViewerSerial;
    viewer->Tag = QString::number(ViewerSerial);
    focusKeywordBox();
    showViewer(viewer);
    focusKeywordBox();
    closeViewerWithTag(QString::number(ViewerSerial - MaxViewers));
    cboKeyWord->clearEditText();
    focusViewer(viewer);
}

void mdiMain::focusViewer(ViewerWindow *viewer)
{
    // The commands of the Edit menu work on the active viewer, and its keys (Ctrl+C) must not
    // go to the keyword box.
    activateWindow();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(viewer->parentWidget())) {
        m_mdiArea->setActiveSubWindow(sub);
        sub->setFocus(Qt::OtherFocusReason);
    }
}

ViewerWindow *mdiMain::createViewer(quint8 viewer)
{
    // A type code no viewer has (a damaged or foreign dictionary) opens nothing.
    const std::optional<store::Viewer> kind = store::viewerFromCode(viewer);
    return kind ? ViewerFactory::create(*kind, m_options.BrowserInMdi != 0, m_viewerContext) : nullptr;
}

void mdiMain::showViewer(ViewerWindow *viewer)
{
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(viewer);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(viewer->windowIcon());
    sub->resize(sub->sizeHint());
    connect(sub, &QMdiSubWindow::windowStateChanged, viewer,
            [viewer](Qt::WindowStates, Qt::WindowStates now) { viewer->windowStateChanged(now); });
    sub->setWindowState(desktop::windowStatesOf(m_options.ViewerWindowState));
    sub->show();
}

void mdiMain::closeViewerWithTag(const QString &tag)
{
    for (ViewerWindow *viewer : viewers()) {
        if (viewer->Tag == tag) {
            if (auto *sub = qobject_cast<QMdiSubWindow *>(viewer->parentWidget()))
                sub->close();
            else
                viewer->close();
        }
    }
}

QList<ViewerWindow *> mdiMain::viewers() const
{
    QList<ViewerWindow *> out;
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList())
        if (auto *viewer = qobject_cast<ViewerWindow *>(sub->widget()))
            out.append(viewer);
    return out;
}

void mdiMain::subWindowActivated(QMdiSubWindow *window)
{
    if (!window)
        return;
    if (auto *viewer = qobject_cast<ViewerWindow *>(window->widget()))
        viewer->activated();
}

bool mdiMain::IsEditorOpen() const
{
    return windows.entryWindowShown && windows.entryWindowShown();
}

void mdiMain::ShowHelp(const QString &topic)
{
    // The page goes to the browser directly: when none can show it, the program says so in its
    // own words rather than with the control's message about a wrong address.
    app::ShowHelp(topic, [this](const QString &page) {
        if (!corvane::DesktopLink::open(page))
            m_prompter.inform(QStringLiteral("ヘルプを表示するWebブラウザが見つかりませんでした。\n"
                                             "Webブラウザをインストールし、既定のブラウザに設定してください。"),
                              desktop::Prompter::defaultTitle());
    });
}

void mdiMain::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (IsEditorOpen()) {
        m_prompter.inform(QStringLiteral("新規登録または修正中のデータのウィンドウを閉じてから終了してください"));
        event->ignore();
        return;
    }
    // A lookup still running ends here; the set closes below.
    if (m_lookingUp) {
        m_database.searchWorker().abandon();
        lookupOver();
    }
    m_mdiArea->closeAllSubWindows();
    m_searchIndexList->Unload();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    if (windows.unloadEntryWindows)
        windows.unloadEntryWindows();
    m_database.SaveDictionarySets();
    m_database.CloseDictionarySet();
    storePlacement();
    deleteTemporaryFiles();
    m_closed = true;
    event->accept();
}

void mdiMain::storePlacement()
{
    saveWindow(*this, m_settings, store::keys::MainWindow::Placement);
    m_settings.setMdiWindowState(m_options.ViewerWindowState);
    storeBarVisibility();
    m_settings.sync();
}

void mdiMain::deleteTemporaryFiles()
{
    QDir folder(desktop::ProgramFolder::path());
    for (const QString &name : folder.entryList(QDir::Files))
        if (isTemporaryFileName(name))
            folder.remove(name);
}

} // namespace qm::app
