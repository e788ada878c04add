#pragma once

#include <QString>
#include <QVariant>

#include <optional>

class QWidget;

namespace qm::app {

// The members of the library's editors the entry windows use, reached by name so that the
// windows depend on nothing but the published members. A widget that lacks the member (a
// control the library could not make) reads as empty and refuses what it cannot do.
namespace editor {

QString property(const QWidget *control, const char *name);
void setProperty(QWidget *control, const char *name, const QVariant &value);
// "Edit".
bool isEdited(const QWidget *control);
// "Clear()".
void clear(QWidget *control);
// "LoadFile(strFileName)": empty on success, otherwise the reason.
QString loadFile(QWidget *control, const QString &path);
// "GetTitle" of the HTML editor; nullopt when the editor reports an error (a title never closed)
// or has no such member.
std::optional<QString> title(const QWidget *control);

} // namespace editor
} // namespace qm::app
