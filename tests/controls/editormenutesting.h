#pragma once

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

// Opens the editor's context menu from the keyboard (the Menu key, or Shift+F10), as a user
// does with the focus in the text, and gives the names of the editor's commands in it.
inline QStringList editorMenuCommands(QWidget *textWidget, bool shiftF10)
{
    textWidget->setFocus();
    if (shiftF10)
        QTest::keyClick(textWidget, Qt::Key_F10, Qt::ShiftModifier);
    else
        QTest::keyClick(textWidget, Qt::Key_Menu);
    auto *menu = textWidget->findChild<QMenu *>(QStringLiteral("mnuEditor"));
    if (!menu || !menu->isVisible())
        return {};
    QStringList names;
    for (QAction *action : menu->actions()) {
        if (action->objectName().startsWith(QLatin1String("btn")))
            names << action->objectName();
    }
    menu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return names;
}
