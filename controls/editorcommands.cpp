#include "controls/editorcommands.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace corvane {
namespace {

// Keys of their own for the commands that have none in the widget: none of them is taken by
// the text widgets, the rich-text editor's keys, or the windows that host the editors.
QKeySequence keyOf(const QString &command)
{
    static const struct {
        const char *command;
        QKeyCombination key;
    } keys[] = {
        {"btnOpen", Qt::CTRL | Qt::SHIFT | Qt::Key_O},
        {"btnSave", QKeyCombination(Qt::Key_F12)},
        {"btnReplace", Qt::CTRL | Qt::SHIFT | Qt::Key_H},
        {"btnAttribute", Qt::CTRL | Qt::SHIFT | Qt::Key_F},
        {"btnShowImage", Qt::CTRL | Qt::SHIFT | Qt::Key_P},
    };
    for (const auto &k : keys) {
        if (command == QLatin1String(k.command))
            return k.key;
    }
    return {};
}

// As the other tooltips write their keys ("Shift+Ctrl+S").
QString toolTipKey(const QKeySequence &key)
{
    return key.toString(QKeySequence::PortableText)
        .replace(QLatin1String("Ctrl+Shift+"), QLatin1String("Shift+Ctrl+"));
}

bool opensMenu(const QKeyEvent &key)
{
    if (key.key() == Qt::Key_Menu)
        return key.modifiers() == Qt::NoModifier;
    return key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier;
}

QWidget *viewportOf(QWidget *textWidget)
{
    if (auto *plain = qobject_cast<QPlainTextEdit *>(textWidget))
        return plain->viewport();
    return qobject_cast<QTextEdit *>(textWidget)->viewport();
}

} // namespace

EditorCommands::EditorCommands(QWidget *textWidget)
    : QObject(textWidget)
    , m_textWidget(textWidget)
{
    textWidget->installEventFilter(this);
    viewportOf(textWidget)->installEventFilter(this);
}

void EditorCommands::add(QWidget &editor, const QList<QAction *> &actions)
{
    for (QAction *command : actions) {
        const QKeySequence key = keyOf(command->objectName());
        if (key.isEmpty() || m_commands.contains(command))
            continue;
        command->setShortcut(key);
        command->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        command->setToolTip(command->text() + u' ' + toolTipKey(key));
        editor.addAction(command);
        m_commands.append(command);
    }
}

// The widget's own commands (undo, clipboard, select all), then the editor's.
QMenu *EditorCommands::createMenu() const
{
    QMenu *menu = nullptr;
    if (auto *plain = qobject_cast<QPlainTextEdit *>(m_textWidget))
        menu = plain->createStandardContextMenu();
    else
        menu = qobject_cast<QTextEdit *>(m_textWidget)->createStandardContextMenu();
    menu->setParent(m_textWidget, menu->windowFlags());
    menu->setObjectName(QStringLiteral("mnuEditor"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    for (const QPointer<QAction> &command : m_commands) {
        if (command)
            menu->addAction(command);
    }
    return menu;
}

void EditorCommands::popUp(const QPoint &globalPosition)
{
    if (m_menu)
        m_menu->close();
    m_menu = createMenu();
    m_menu->popup(globalPosition);
}

// Under the caret, where the keyboard user is looking.
void EditorCommands::popUpAtCaret()
{
    const QRect caret = m_textWidget->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    popUp(m_textWidget->mapToGlobal(caret.bottomLeft()));
}

bool EditorCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched == m_textWidget
        && opensMenu(*static_cast<QKeyEvent *>(event))) {
        popUpAtCaret();
        return true;
    }
    if (event->type() == QEvent::ContextMenu) {
        const auto *request = static_cast<QContextMenuEvent *>(event);
        if (request->reason() == QContextMenuEvent::Mouse)
            popUp(request->globalPos());
        else
            popUpAtCaret();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace corvane
