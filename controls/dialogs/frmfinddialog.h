#pragma once

#include "controls/dialogs/searchcontrols.h"
#include "controls/dialogs/textsearch.h"
#include "corvane_export.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace corvane {

class FindTarget;

// The find and replace dialog of the text editors. The library has one: an editor hands it its
// text widget with SetFindObject and shows it modeless; another editor's find command
// re-targets it while it is open. Closing unloads it (it is deleted), so the next use starts
// from the designed layout with empty fields.
//
// Find next selects the next match in the target; Replace replaces the selected match and
// selects the next one; Replace all replaces every match from the start of the step on. The
// dialog closes with a message when the search runs past the end, and quietly when its target
// has been destroyed.
class CORVANE_EXPORT frmFindDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmFindDialog)

public:
    ~frmFindDialog() override;

    // The loaded dialog, loading it first when it is not.
    static frmFindDialog &instance();
    // The dialog while it is loaded, else null.
    static frmFindDialog *loaded();
    // What an editor's find (mode 1) and replace (mode 2) commands do: SetFindObject, then show
    // the dialog modeless.
    static void showFor(FindTarget &target, short mode);

    // Targets the dialog at a text widget. Mode 1 is find; any other value is replace.
    void SetFindObject(FindTarget &target, short mode);

private:
    frmFindDialog();

    void createReplaceControls();
    void connectControls();
    void layOut(bool findMode);
    void placeSearchControls(bool findMode);
    // True (and the dialog closes) when the target has been destroyed.
    bool targetGone();
    void replaceSelection(FindTarget &target) const;

    void cmdFindNext_Click();
    void cmdReplace_Click();
    void cmdReplaceAll_Click();
    void cmdCancel_Click();
    void txtFindString_Change();

    SearchControls m_controls;
    QLabel *Label2 = nullptr;
    QLineEdit *txtReplaceString = nullptr;
    TextSearch m_search;
};

} // namespace corvane
