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
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolBar>

// The toolbar pictures live in a static library; their resources must be registered explicitly.
static void registerToolbarResources()
{
    Q_INIT_RESOURCE(toolbar);
}

namespace qm::app {
namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

MainCommands::MainCommands(QMainWindow &window, QMdiArea &area, std::vector<Row> rows, State state)
    : QObject(&window)
    , m_area(area)
    , m_state(std::move(state))
{
    registerToolbarResources();
    buildMenus(window, std::move(rows));
    watchState();
    refreshFindMenu();
    refresh();
}

QAction *MainCommands::action(MainCommand command) const
{
    return int(command) < m_items.size() ? m_items.at(int(command)).action : nullptr;
}

QMenu *MainCommands::menuOf(MainCommand command) const
{
    return int(command) < m_items.size() ? m_items.at(int(command)).menu : nullptr;
}

QAction *MainCommands::action(const QString &objectName) const
{
    for (const Item &item : m_items)
        if (item.action && item.action->objectName() == objectName)
            return item.action;
    const QMenu *menu = m_menus.value(objectName);
    return menu ? menu->menuAction() : nullptr;
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

void MainCommands::buildMenus(QMainWindow &window, std::vector<Row> rows)
{
    window.menuBar()->setObjectName(QStringLiteral("menuBar"));
    QList<MainCommand> menuOrder;
    QMenu *current = nullptr;
    for (Row &row : rows) {
        const QString name = text(row.name);
        if (row.kind == Row::Kind::Menu) {
            current = window.menuBar()->addMenu(text(row.caption));
            current->setObjectName(name);
            current->menuAction()->setObjectName(name + QStringLiteral("Action"));
            m_menus.insert(name, current);
            m_menuRules.insert(current, row.rule);
            connect(current, &QMenu::aboutToShow, this, [this, current] { applyRules(current, true); });
            continue;
        }
        Q_ASSERT(current);
        if (row.kind == Row::Kind::Separator) {
            current->addSeparator()->setObjectName(name);
            continue;
        }
        menuOrder.append(row.command);
        addItem(*current, row);
    }
    buildToolBar(window, menuOrder);
    // The window list follows the arranging commands.
    QMenu *windows = menuOf(MainCommand::WindowCascade);
    if (windows)
        connect(windows, &QMenu::aboutToShow, this, [this, windows] { fillWindowList(windows); });
}

void MainCommands::addItem(QMenu &menu, Row &row)
{
    if (m_items.size() <= int(row.command))
        m_items.resize(int(row.command) + 1);
    Item &item = m_items[int(row.command)];
    item.action = menu.addAction(text(row.caption));
    item.action->setObjectName(text(row.name));
    item.action->setShortcut(QKeySequence(text(row.shortcut)));
    item.action->setCheckable(row.checkable);
    item.action->setChecked(row.checkable);
    item.menu = &menu;
    item.rule = row.rule;
    item.handler = std::move(row.handler);
    item.icon = row.icon ? text(row.icon) : QString();
    const MainCommand command = row.command;
    connect(item.action, &QAction::triggered, this, [this, command] { run(command); });
}

QString MainCommands::toolTipOf(const QString &caption)
{
    QString tip = caption;
    static const QRegularExpression accessKey(QStringLiteral("\\(&.\\)"));
    tip.remove(accessKey);
    if (tip.endsWith(QStringLiteral("...")))
        tip.chop(3);
    return tip;
}

void MainCommands::buildToolBar(QMainWindow &window, const QList<MainCommand> &menuOrder)
{
    m_toolBar = window.addToolBar(QStringLiteral("ﾂｰﾙ ﾊﾞｰ"));
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    desktop::nameToolBarExtension(m_toolBar);
    const QMenu *previous = nullptr;
    for (const MainCommand command : menuOrder) {
        Item &item = m_items[int(command)];
        if (item.icon.isEmpty())
            continue;
        if (previous && previous != item.menu)
            m_toolBar->addSeparator();
        previous = item.menu;
        const QString tip = toolTipOf(item.action->text());
        item.button = m_toolBar->addAction(QIcon(QStringLiteral(":/toolbar/%1.svg").arg(item.icon)), tip);
        item.button->setObjectName(item.icon);
        item.button->setToolTip(tip);
        connect(item.button, &QAction::triggered, this, [this, command] { run(command); });
    }
}

bool MainCommands::allows(Rule rule) const
{
    switch (rule) {
    case Rule::Always:
    case Rule::SetCurrent:
        return true;
    case Rule::NoEditor:
        return !m_state.editorOpen();
    case Rule::Viewer:
        return m_state.childActive();
    case Rule::ViewerNoEditor:
        return m_state.childActive() && !m_state.editorOpen();
    case Rule::ClipboardText:
        return m_state.clipboardText();
    }
    return true;
}

void MainCommands::applyRules(const QMenu *only, bool clipboard)
{
    for (const Item &item : std::as_const(m_items)) {
        if (!item.action || item.rule == Rule::Always || (only && item.menu != only))
            continue;
        if (item.rule != Rule::ClipboardText || clipboard)
            item.action->setEnabled(allows(item.rule));
    }
}

void MainCommands::run(MainCommand command)
{
    // The enabling of a menu item is its rule, taken now: a shortcut or a button of a disabled
    // item (or of an item of a disabled menu) does nothing.
    refresh();
    const Item &item = m_items.at(int(command));
    if (!item.action || !item.action->isEnabled() || (item.menu && !item.menu->isEnabled()))
        return;
    if (item.handler)
        item.handler();
}

void MainCommands::refresh()
{
    applyRules(nullptr, false);
    refreshToolBar();
}

void MainCommands::refreshEditMenu()
{
    applyRules(menuOf(MainCommand::EditNew), true);
}

void MainCommands::refreshFindMenu()
{
    applyRules(menuOf(MainCommand::FindSearchFindSelected), true);
}

void MainCommands::refreshToolBar()
{
    for (const Item &item : std::as_const(m_items))
        if (item.button)
            item.button->setEnabled(item.menu->isEnabled() && item.action->isEnabled());
}

void MainCommands::setSetCurrent(bool current)
{
    for (auto it = m_menuRules.cbegin(); it != m_menuRules.cend(); ++it) {
        if (it.value() != Rule::SetCurrent)
            continue;
        it.key()->setEnabled(current);
        it.key()->menuAction()->setEnabled(current);
    }
    refresh();
}

void MainCommands::fillWindowList(QMenu *menu)
{
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
