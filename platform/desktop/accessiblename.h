#pragma once

#include <QString>

class QLabel;
class QToolBar;
class QWidget;

namespace qm::desktop {

// The names a screen reader says for controls whose name Qt does not take from a caption: text
// boxes, lists and tables, combo boxes, picture-only buttons.

// A caption without its access key and closing colon: "辞書名(&N)" and "形式(&F):" read "辞書名"
// and "形式", "&Open" reads "Open"; a doubled "&&" stays one "&".
QString withoutAccessKey(const QString &caption);

// Names the control. A combo box's edit field and drop-down list are objects of their own to a
// screen reader; they get the same name. From the first call on, a combo box is read by its name
// (or, without one, by its label's caption) with the chosen item as its value.
void setAccessibleName(QWidget *control, const QString &name);

// Names the label's buddy from the label's caption when the buddy has no name yet. Qt names
// buttons and plain text boxes from their label, but not lists, tables or a combo box's parts.
void nameBuddy(const QLabel *label);

// Names the control from its tool tip when it has no name yet: buttons that show a picture only.
void nameFromToolTip(QWidget *control);

// Names the button a toolbar shows when its buttons do not all fit.
void nameToolBarExtension(QToolBar *toolBar);

} // namespace qm::desktop
