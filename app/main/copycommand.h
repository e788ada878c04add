#pragma once

class QWidget;

namespace qm::desktop {
class Prompter;
}

namespace qm::app {

// Copies the body of the active viewer to the clipboard in the form its kind allows: the text,
// the rich text (RTF, with the plain text for programs that take only that), the address, or
// the object. An HTML page cannot be copied whole; the user is told how to copy from it.
void copyFromViewer(QWidget *viewer, desktop::Prompter &prompter);

// The clipboard format of rich text.
inline constexpr char RtfMimeType[] = "text/rtf";

} // namespace qm::app
