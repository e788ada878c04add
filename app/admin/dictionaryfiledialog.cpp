#include "dictionaryfiledialog.h"

#include "platform/desktop/dialogfilechooser.h"

#include <QApplication>
#include <QFileDialog>

namespace qm::app {
namespace {

std::optional<QString> run(QFileDialog &dialog)
{
    desktop::fitForJapanese(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> DictionaryFileDialog::openFile(const Request &request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, QString(), request.filter);
    dialog.setObjectName(QStringLiteral("dlgDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A new name typed without an extension gets the dictionary's.
    dialog.setDefaultSuffix(QStringLiteral("dic"));
    return run(dialog);
}

std::optional<QString> DictionaryFileDialog::saveFile(const Request &request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, QString(), request.filter);
    dialog.setObjectName(QStringLiteral("dlgDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("dic"));
    return run(dialog);
}

} // namespace qm::app
