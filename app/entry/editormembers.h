#pragma once

#include <QString>

#include <optional>

class QFont;
class QWidget;

namespace qm::app {

// The members of the library's editors the entry windows use, called through the library's
// exported classes. A widget that is not such an editor (the placeholder shown when the library
// could not make one) reads as empty and refuses what it cannot do.
namespace editor {

// The body a text editor holds: the rich-text editor's RTF, the other editors' text.
QString body(const QWidget *control);
// Replaces the body (RTF for the rich-text editor); clears the edited flag.
void setBody(QWidget *control, const QString &body);
// The contents as plain text (the rich-text editor's text without its markup).
QString text(const QWidget *control);
// The rich-text editor's visible text, as a reader of its RTF finds it; null for other editors.
QString visibleText(const QWidget *control);
// The contents changed since they were last set.
bool isEdited(const QWidget *control);
// Empties the contents and clears the edited flag.
void clear(QWidget *control);
// The font of an editor that has one.
void setFont(QWidget *control, const QFont &font);
// The rich-text editor's font for what is typed next.
void setTypingFont(QWidget *control, const QString &name, float points);
// Replaces the contents with a file's: empty on success, otherwise the reason.
QString loadFile(QWidget *control, const QString &path);
// The HTML editor's page title; nullopt when the editor reports an error (a title never
// closed) or is no HTML editor.
std::optional<QString> title(const QWidget *control);

} // namespace editor
} // namespace qm::app
