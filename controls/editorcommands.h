#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace corvane {

// Makes an editor's toolbar commands reachable from the keyboard: each gets a key that works
// wherever the focus is inside the editor (shown in its tooltip, as the other buttons show
// theirs), and the text widget's context menu lists them after the widget's own commands.
// The menu opens with the mouse, the Menu key and Shift+F10.
class EditorCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorCommands)

public:
    // Owned by the text widget, which must be a QPlainTextEdit or a QTextEdit.
    explicit EditorCommands(QWidget *textWidget);

    // Gives each of the actions that is one of these commands (told by its name: btnOpen,
    // btnSave, btnReplace, btnAttribute, btnShowImage) its key, and puts it into the menu.
    void add(QWidget &editor, const QList<QAction *> &actions);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMenu *createMenu() const;
    void popUp(const QPoint &globalPosition);
    void popUpAtCaret();

    QWidget *m_textWidget;
    QList<QPointer<QAction>> m_commands;
    QPointer<QMenu> m_menu;
};

} // namespace corvane
