#pragma once

#include "app/common/helpmenu.h"
#include "platform/desktop/twips.h"

#include <QString>

#include <functional>

class QAction;
class QDialog;
class QLabel;
class QPlainTextEdit;
class QWidget;

namespace qm::sqlite {
class Error;
}

namespace qm::app {

// Opens a help topic ("DicSets.htm#MakeDic"); the main window supplies it.
using HelpHandler = std::function<void(const QString &topic)>;

namespace admin {

// Gives the widget its objectName and its place in twips within its parent.
template <class W>
W *place(W *widget, const QString &name, double left, double top, double width, double height)
{
    widget->setObjectName(name);
    widget->setGeometry(desktop::Twips::toPixels(left, top, width, height));
    return widget;
}

// A label whose mnemonic moves the focus to `buddy`; its caption is the buddy's name for a
// screen reader.
QLabel *label(QWidget *parent, const QString &name, const QString &text, QWidget *buddy,
              double left, double top, double width);

// A multi-line box with a vertical scroll bar; Tab moves on to the next control.
QPlainTextEdit *commentBox(QWidget *parent);

// Makes a text box read-only or editable again; a read-only box shows the button face, so the
// user sees at once that it cannot be typed into.
void setLocked(QWidget *box, bool locked);

// A fixed-size dialog: a client area of this size in twips under a menu bar holding the help
// item. Returns the client area, the parent of the dialog's controls.
QWidget *fixedClient(QDialog *dialog, double width, double height);
using app::addHelpMenu;

// Why a store operation failed, in words for the user. The store words its own failures; the
// engine's are technical, so those are described by their kind and code.
QString failureReason(const sqlite::Error &error);

} // namespace admin
} // namespace qm::app
