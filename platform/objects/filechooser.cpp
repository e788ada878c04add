#include "filechooser.h"

#include <QFileDialog>

namespace qm::objects {

std::optional<QString> DialogFileChooser::chooseExistingFile(QWidget *parent, const QString &title)
{
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> ScriptedFileChooser::chooseExistingFile(QWidget *, const QString &title)
{
    m_titles << title;
    if (m_answers.isEmpty())
        return std::nullopt;
    return m_answers.takeFirst();
}

} // namespace qm::objects
