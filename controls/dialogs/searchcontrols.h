#pragma once

#include "controls/dialogs/textsearch.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

// The controls both search dialogs have: the search text, the match-case box, the direction
// list and the four command buttons. The widgets belong to the dialog; their geometry is the
// dialog's business.
struct SearchControls final {
    struct Captions {
        QString directionLabelName; // "Label3" or "Label2"
        QString change;             // "置換(&R)" or "変更(&R)"
        QString changeAll;
    };

    SearchControls(QDialog &dialog, const Captions &captions);

    // What the next step searches for.
    SearchSettings settings() const;
    // The command buttons are usable exactly when there is a text to search for.
    void enableButtons();
    // The direction list back on "全体".
    void selectWholeText();
    // Every step ends with an OK message and closes the dialog.
    static void finish(QDialog &dialog, const QString &text, const QString &title);

    QLabel *Label1;
    QLineEdit *txtFindString;
    QCheckBox *chkDistinguish;
    QLabel *directionLabel;
    QComboBox *cboDirection;
    QPushButton *cmdFindNext;
    QPushButton *cmdCancel;
    QPushButton *cmdReplace;
    QPushButton *cmdReplaceAll;
};

} // namespace corvane
