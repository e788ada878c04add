#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class QToolBar;

namespace qm::app {

// The commands of the main window's menus, in menu order.
enum class MainCommand {
    FileDicSets,
    FileExport,
    FileImport,
    FileBackups,
    FilePageSetup,
    FilePrint,
    FileExit,
    EditCopy,
    EditNew,
    EditModify,
    FindSearchFind,
    FindSearchFindSelected,
    FindSearchResult,
    FindHeadingList,
    ViewToolbar,
    ViewStatusBar,
    WindowCascade,
    WindowTileHorizontal,
    WindowTileVertical,
    WindowArrangeIcons,
    ToolOption,
    ToolSetupDictionary,
    HelpContents,
    HelpAbout,
};

// The menus and the toolbar of the main window, built from one table of rows (see Row): each
// command's item, caption, shortcut, toolbar picture, enabling rule and handler. The toolbar
// holds the commands with a picture, in menu order, a separator between menus; a button's
// tooltip is its item's caption without access key and ellipsis.
class MainCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainCommands)

public:
    using Command = std::function<void()>;
    // When a command (or a whole menu) can be used.
    enum class Rule {
        Always,
        NoEditor,       // no entry window is open
        Viewer,         // a viewer is the active child window
        ViewerNoEditor, // both
        ClipboardText,  // the clipboard holds text that is not blank
        SetCurrent,     // (menus) a set is current: see setSetCurrent()
    };
    // One row of the table: a menu of the menu bar, a separator or a command of the menu above.
    struct Row {
        enum class Kind { Menu, Separator, Item };
        Kind kind = Kind::Item;
        MainCommand command{};
        const char *name = "";
        const char *caption = "";
        const char *shortcut = "";
        // The toolbar button's key and the name of its picture; null: not on the toolbar.
        const char *icon = nullptr;
        Rule rule = Rule::Always;
        bool checkable = false;
        Command handler;
    };
    // What the enabling rules need to know about the main window.
    struct State {
        std::function<bool()> editorOpen;    // an entry window is open
        std::function<bool()> childActive;   // a viewer is the active child window
        std::function<bool()> clipboardText; // the clipboard holds text that is not blank
    };

    MainCommands(QMainWindow &window, QMdiArea &area, std::vector<Row> rows, State state);

    QAction *action(MainCommand command) const;
    // An item or a menu by its objectName.
    QAction *action(const QString &objectName) const;
    QMenu *menu(const QString &objectName) const { return m_menus.value(objectName); }
    QToolBar *toolBar() const { return m_toolBar; }

    // The rules are applied when each menu opens and before each command, so a shortcut or a
    // toolbar button always does what its menu item would. refresh() applies all of them but
    // the clipboard's (read only when the clipboard changes or the menu opens: asking it at
    // every refresh could wait on another program); the toolbar buttons follow their items.
    void refresh();
    void refreshEditMenu();
    void refreshFindMenu();
    // For a main window that is going: its parts no longer answer the rules.
    void stopWatching();
    // The menus ruled by SetCurrent are usable only while a set is current.
    void setSetCurrent(bool current);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Item {
        QAction *action = nullptr;
        QMenu *menu = nullptr;
        QAction *button = nullptr;
        QString icon;
        Rule rule = Rule::Always;
        Command handler;
    };

    void watchState();
    void buildMenus(QMainWindow &window, std::vector<Row> rows);
    void addItem(QMenu &menu, Row &row);
    static QString toolTipOf(const QString &caption);
    void buildToolBar(QMainWindow &window, const QList<MainCommand> &menuOrder);
    QMenu *menuOf(MainCommand command) const;
    bool allows(Rule rule) const;
    void applyRules(const QMenu *only, bool clipboard);
    void refreshToolBar();
    void fillWindowList(QMenu *menu);
    void run(MainCommand command);

    QMdiArea &m_area;
    State m_state;
    // Indexed by MainCommand.
    QList<Item> m_items;
    QHash<QString, QMenu *> m_menus;
    QHash<QMenu *, Rule> m_menuRules;
    QList<QAction *> m_windowList;
    QToolBar *m_toolBar = nullptr;
};

} // namespace qm::app
