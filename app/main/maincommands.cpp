#include "maincommands.h"

#include "platform/desktop/accessiblename.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QIcon>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

// The toolbar pictures live in a static library; their resources must be registered explicitly.
static void registerToolbarResources()
{
    Q_INIT_RESOURCE(toolbar);
}

namespace qm::app {
namespace {

// One menu or menu item. A caption of "-" is a separator; a row without a caption ends the
// table.
struct MenuRow {
    const char *name;
    const char *caption;
    const char *shortcut;
    bool topLevel;
};

const MenuRow Menus[] = {
    {"mnuFile", "ﾌｧｲﾙ(&F)", "", true},
    {"mnuFileDicSets", "辞書セットの設定(&O)", "Ctrl+O", false},
    {"mnuFileBar0", "-", "", false},
    {"mnuFileExport", "ｴｸｽﾎﾟｰﾄ(&E)...", "", false},
    {"mnuFileImport", "ｲﾝﾎﾟｰﾄ(&I)...", "", false},
    {"mnuFileBackups", "ﾊﾞｯｸｱｯﾌﾟと復元(&B)...", "", false},
    {"mnuFileBar2", "-", "", false},
    {"mnuFilePageSetup", "ﾍﾟｰｼﾞ設定(&U)...", "", false},
    {"mnuFilePrint", "印刷(&P)...", "Ctrl+P", false},
    {"mnuFileBar1", "-", "", false},
    {"mnuFileExit", "終了(&X)", "", false},
    {"mnuEdit", "編集(&E)", "", true},
    {"mnuEditCopy", "ｺﾋﾟｰ(&C)", "Ctrl+C", false},
    {"mnuEditBar0", "-", "", false},
    {"mnuEditNew", "新規登録(&N)", "Ctrl+N", false},
    {"mnuEditModify", "修正(&R)", "Ctrl+R", false},
    {"mnuFind", "検索(&S)", "", true},
    {"mnuFindSearchFind", "条件検索(&F)", "Ctrl+F", false},
    {"mnuFindSearchFindSelected", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから検索(&S)", "Ctrl+S", false},
    {"mnuFindSearchResult", "検索結果(&L)", "Ctrl+L", false},
    {"mnuFindHeadingList", "見出し一覧(&H)", "Ctrl+H", false},
    {"mnuView", "表示(&V)", "", true},
    {"mnuViewToolbar", "ﾂｰﾙ ﾊﾞｰ(&T)", "", false},
    {"mnuViewStatusBar", "ｽﾃｰﾀｽ ﾊﾞｰ(&B)", "", false},
    {"mnuWindow", "ｳｨﾝﾄﾞｳ(&W)", "", true},
    {"mnuWindowCascade", "重ねて表示(&C)", "", false},
    {"mnuWindowTileHorizontal", "上下に並べて表示(&H)", "", false},
    {"mnuWindowTileVertical", "左右に並べて表示(&V)", "", false},
    {"mnuWindowArrangeIcons", "ｱｲｺﾝの整列(&A)", "", false},
    {"mnuTool", "ﾂｰﾙ(&T)", "", true},
    {"mnuToolOption", "ｵﾌﾟｼｮﾝ(&O)", "", false},
    {"mnuToolBar0", "-", "", false},
    {"mnuToolSetupDictionary", "配布辞書の登録(&D)", "", false},
    {"mnuHelp", "ﾍﾙﾌﾟ(&H)", "", true},
    {"mnuHelpContents", "目次(&C)", "", false},
    {"mnuHelpAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)", "", false},
};

// One toolbar button: its key (also the name of its picture), tooltip, the menu item whose
// command it runs and the menu that item belongs to. A null key is a separator.
struct ToolRow {
    const char *key;
    const char *toolTip;
    const char *menuItem;
    const char *menu;
};

const ToolRow Tools[] = {
    {"DicSets", "辞書セットの設定", "mnuFileDicSets", "mnuFile"},
    {"Print", "印刷", "mnuFilePrint", "mnuFile"},
    {nullptr, nullptr, nullptr, nullptr},
    {"Copy", "ｺﾋﾟｰ", "mnuEditCopy", "mnuEdit"},
    {"New", "新規登録", "mnuEditNew", "mnuEdit"},
    {"Modify", "修正", "mnuEditModify", "mnuEdit"},
    {nullptr, nullptr, nullptr, nullptr},
    {"Find", "条件検索", "mnuFindSearchFind", "mnuFind"},
    {"FindClip", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞから検索", "mnuFindSearchFindSelected", "mnuFind"},
    {"List", "検索結果", "mnuFindSearchResult", "mnuFind"},
    {"Heading", "見出し一覧", "mnuFindHeadingList", "mnuFind"},
    {nullptr, nullptr, nullptr, nullptr},
    {"Cascade", "重ねて表示", "mnuWindowCascade", "mnuWindow"},
    {"TileHorizontal", "上下に並べて表示", "mnuWindowTileHorizontal", "mnuWindow"},
    {"TileVertical", "左右に並べて表示", "mnuWindowTileVertical", "mnuWindow"},
};

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

MainCommands::MainCommands(QMainWindow &window, QMdiArea &area, QHash<QString, Command> commands, State state)
    : QObject(&window)
    , m_area(area)
    , m_commands(std::move(commands))
    , m_state(std::move(state))
{
    registerToolbarResources();
    buildMenus(window);
    buildToolBar(window);
    watchState();
    refreshFindMenu();
    refresh();
}

void MainCommands::stopWatching()
{
    qApp->removeEventFilter(this);
    disconnect(&m_area, nullptr, this, nullptr);
}

void MainCommands::watchState()
{
    // The rules read the active child window, the open entry windows and the clipboard.
    connect(&m_area, &QMdiArea::subWindowActivated, this, &MainCommands::refresh);
    // The clipboard is read only when it changes: asking it at every refresh could wait on
    // another program.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        refreshFindMenu();
        refreshToolBar();
    });
    qApp->installEventFilter(this);
}

bool MainCommands::eventFilter(QObject *watched, QEvent *event)
{
    // A window or a child window shown or hidden may be an entry window or a viewer.
    const bool showing = event->type() == QEvent::Show || event->type() == QEvent::Hide;
    if (showing && watched->isWidgetType()) {
        const auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow() || qobject_cast<const QMdiSubWindow *>(widget))
            refresh();
    }
    return QObject::eventFilter(watched, event);
}

void MainCommands::buildMenus(QMainWindow &window)
{
    window.menuBar()->setObjectName(QStringLiteral("menuBar"));
    QMenu *current = nullptr;
    for (const MenuRow &row : Menus) {
        const QString name = text(row.name);
        if (row.topLevel) {
            current = window.menuBar()->addMenu(text(row.caption));
            current->setObjectName(name);
            current->menuAction()->setObjectName(name + QStringLiteral("Action"));
            m_menus.insert(name, current);
            continue;
        }
        QAction *action = qstrcmp(row.caption, "-") == 0 ? current->addSeparator() : current->addAction(text(row.caption));
        action->setObjectName(name);
        action->setShortcut(QKeySequence(text(row.shortcut)));
        m_actions.insert(name, action);
        connect(action, &QAction::triggered, this, [this, name] { run(name); });
    }
    for (const char *toggle : {"mnuViewToolbar", "mnuViewStatusBar"}) {
        m_actions.value(text(toggle))->setCheckable(true);
        m_actions.value(text(toggle))->setChecked(true);
    }
    connect(m_menus.value(QStringLiteral("mnuFile")), &QMenu::aboutToShow, this, &MainCommands::refreshFileMenu);
    connect(m_menus.value(QStringLiteral("mnuEdit")), &QMenu::aboutToShow, this, &MainCommands::refreshEditMenu);
    connect(m_menus.value(QStringLiteral("mnuFind")), &QMenu::aboutToShow, this, &MainCommands::refreshFindMenu);
    connect(m_menus.value(QStringLiteral("mnuTool")), &QMenu::aboutToShow, this, &MainCommands::refreshToolMenu);
    connect(m_menus.value(QStringLiteral("mnuWindow")), &QMenu::aboutToShow, this, &MainCommands::fillWindowList);
}

void MainCommands::buildToolBar(QMainWindow &window)
{
    m_toolBar = window.addToolBar(QStringLiteral("ﾂｰﾙ ﾊﾞｰ"));
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    desktop::nameToolBarExtension(m_toolBar);
    for (const ToolRow &row : Tools) {
        if (!row.key) {
            m_toolBar->addSeparator();
            continue;
        }
        const QString key = text(row.key);
        QAction *button = m_toolBar->addAction(QIcon(QStringLiteral(":/toolbar/%1.svg").arg(key)), text(row.toolTip));
        button->setObjectName(key);
        button->setToolTip(text(row.toolTip));
        const QString item = text(row.menuItem);
        const QString menu = text(row.menu);
        m_buttons.insert(button, {item, menu});
        connect(button, &QAction::triggered, this, [this, item, menu] { clickToolButton(item, menu); });
    }
}

void MainCommands::run(const QString &objectName)
{
    // The enabling of a menu item is its rule, taken now: a shortcut of a disabled item (or of
    // an item of a disabled menu) does nothing.
    refresh();
    QAction *action = m_actions.value(objectName);
    if (action && !action->isEnabled())
        return;
    for (const QMenu *menu : std::as_const(m_menus))
        if (action && !menu->isEnabled() && menu->actions().contains(action))
            return;
    const Command command = m_commands.value(objectName);
    if (command)
        command();
}

void MainCommands::refresh()
{
    refreshFileMenu();
    refreshEditMenu();
    refreshToolMenu();
    refreshToolBar();
}

void MainCommands::refreshToolBar()
{
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        const QMenu *owner = m_menus.value(it.value().second);
        const QAction *item = m_actions.value(it.value().first);
        it.key()->setEnabled((!owner || owner->isEnabled()) && item && item->isEnabled());
    }
}

void MainCommands::clickToolButton(const QString &menuItem, const QString &menu)
{
    refresh();
    QMenu *owner = m_menus.value(menu);
    if (owner && !owner->isEnabled())
        return;
    run(menuItem);
}

void MainCommands::refreshFileMenu()
{
    m_actions.value(QStringLiteral("mnuFileDicSets"))->setEnabled(!m_state.editorOpen());
    // An import writes into the open set's dictionaries, which an entry window may be editing.
    m_actions.value(QStringLiteral("mnuFileExport"))->setEnabled(!m_state.editorOpen());
    m_actions.value(QStringLiteral("mnuFileImport"))->setEnabled(!m_state.editorOpen());
    // A restore replaces dictionaries of the open set, and a take-out writes into one.
    m_actions.value(QStringLiteral("mnuFileBackups"))->setEnabled(!m_state.editorOpen());
}

void MainCommands::refreshToolMenu()
{
    m_actions.value(QStringLiteral("mnuToolSetupDictionary"))->setEnabled(!m_state.editorOpen());
}

void MainCommands::refreshEditMenu()
{
    const bool editorOpen = m_state.editorOpen();
    const bool childActive = m_state.childActive();
    m_actions.value(QStringLiteral("mnuEditNew"))->setEnabled(!editorOpen);
    m_actions.value(QStringLiteral("mnuEditModify"))->setEnabled(!editorOpen && childActive);
    m_actions.value(QStringLiteral("mnuEditCopy"))->setEnabled(childActive);
}

void MainCommands::refreshFindMenu()
{
    m_actions.value(QStringLiteral("mnuFindSearchFindSelected"))->setEnabled(m_state.clipboardText());
}

void MainCommands::setSetCurrent(bool current)
{
    for (const char *name : {"mnuEdit", "mnuFind"}) {
        m_menus.value(text(name))->setEnabled(current);
        m_menus.value(text(name))->menuAction()->setEnabled(current);
    }
    refresh();
}

void MainCommands::fillWindowList()
{
    QMenu *menu = m_menus.value(QStringLiteral("mnuWindow"));
    qDeleteAll(m_windowList);
    m_windowList.clear();
    const QList<QMdiSubWindow *> windows = m_area.subWindowList();
    if (windows.isEmpty())
        return;
    m_windowList.append(menu->addSeparator());
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow *sub = windows[i];
        const QString caption = i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(sub->windowTitle())
                                       : QStringLiteral("%1 %2").arg(i + 1).arg(sub->windowTitle());
        QAction *item = menu->addAction(caption);
        item->setObjectName(QStringLiteral("mnuWindowList%1").arg(i));
        item->setCheckable(true);
        item->setChecked(sub == m_area.activeSubWindow());
        connect(item, &QAction::triggered, sub, [this, sub] { m_area.setActiveSubWindow(sub); });
        m_windowList.append(item);
    }
}

} // namespace qm::app
