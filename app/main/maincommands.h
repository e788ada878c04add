#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class QToolBar;

namespace qm::app {

// The menus and the toolbar of the main window. Every item is one row of the table in
// maincommands.cpp, which holds its caption, access key, shortcut, toolbar key, tooltip and
// picture; the enabling rules are the refresh functions below. The commands themselves are
// the main window's, handed in by the objectName of their menu item.
class MainCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainCommands)

public:
    using Command = std::function<void()>;
    // What the enabling rules need to know about the main window.
    struct State {
        std::function<bool()> editorOpen;     // an entry window is open
        std::function<bool()> childActive;    // a viewer is the active child window
        std::function<bool()> clipboardText;  // the clipboard holds text that is not blank
    };

    MainCommands(QMainWindow &window, QMdiArea &area, QHash<QString, Command> commands, State state);

    QAction *action(const QString &objectName) const { return m_actions.value(objectName); }
    QMenu *menu(const QString &objectName) const { return m_menus.value(objectName); }
    QToolBar *toolBar() const { return m_toolBar; }

    // The rules applied when each menu opens and (File and Edit) before each toolbar click.
    // refresh() applies them all, and the toolbar buttons follow their menu items; it runs
    // whenever what the rules read may have changed and before every command, so a shortcut
    // always does what its menu item would.
    void refresh();
    // For a main window that is going: its parts no longer answer the rules.
    void stopWatching();
    void refreshFileMenu();
    void refreshToolMenu();
    void refreshEditMenu();
    void refreshFindMenu();
    // The Edit and Find menus are usable only while a set is current.
    void setSetCurrent(bool current);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchState();
    void refreshToolBar();
    void buildMenus(QMainWindow &window);
    void buildToolBar(QMainWindow &window);
    void clickToolButton(const QString &menuItem, const QString &menu);
    void fillWindowList();
    void run(const QString &objectName);

    QMdiArea &m_area;
    QHash<QString, Command> m_commands;
    State m_state;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
    QList<QAction *> m_windowList;
    // Toolbar button -> the menu item and the menu whose command it runs.
    QHash<QAction *, QPair<QString, QString>> m_buttons;
    QToolBar *m_toolBar = nullptr;
};

} // namespace qm::app
