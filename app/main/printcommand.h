#pragma once

#include <QString>

class QWidget;

namespace qm::desktop {
class Prompter;
class PrintService;
}

namespace qm::app {

// Page setup: the settings stay with the printer for later printing. A cancel is no error.
void setUpPage(desktop::PrintService &printing);

// Prints the body of the active viewer: a text line by line, rich text as it is shown, either
// the selection (offered and preselected when there is one) or everything, as the print dialog
// chose; a page shown inside the window by its browser. Pages the desktop's
// browser shows and objects are printed from their own programs; the user is told how. A
// cancelled print dialog prints nothing and says nothing.
void printViewer(QWidget *viewer, desktop::PrintService &printing, desktop::Prompter &prompter);

} // namespace qm::app
