#include "filechooser.h"

namespace qm::desktop {

std::optional<QString> ScriptedFileChooser::nextFile(const QString &kind, const Request &request)
{
    m_asked.append({kind, request});
    return m_files.isEmpty() ? std::nullopt : m_files.dequeue();
}

std::optional<QString> ScriptedFileChooser::openFile(const Request &request)
{
    return nextFile(QStringLiteral("open"), request);
}

std::optional<QString> ScriptedFileChooser::saveFile(const Request &request)
{
    return nextFile(QStringLiteral("save"), request);
}

std::optional<quint32> ScriptedFileChooser::chooseColor(quint32 initial, const QString &title)
{
    m_asked.append({QStringLiteral("color"), {title, {}, QString::number(initial, 16)}});
    return m_colors.isEmpty() ? std::nullopt : m_colors.dequeue();
}

} // namespace qm::desktop
