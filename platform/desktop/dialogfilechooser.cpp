#include "dialogfilechooser.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>

namespace qm::desktop {
namespace {

std::optional<QString> chosen(const QString &file)
{
    return file.isEmpty() ? std::nullopt : std::optional<QString>(file);
}

} // namespace

std::optional<QString> DialogFileChooser::openFile(const Request &request)
{
    return chosen(QFileDialog::getOpenFileName(QApplication::activeWindow(), request.title, request.fileName,
                                               request.filter));
}

std::optional<QString> DialogFileChooser::saveFile(const Request &request)
{
    return chosen(QFileDialog::getSaveFileName(QApplication::activeWindow(), request.title, request.fileName,
                                               request.filter));
}

std::optional<quint32> DialogFileChooser::chooseColor(quint32 initial, const QString &title)
{
    const QColor color = QColorDialog::getColor(QColor::fromRgb(initial), QApplication::activeWindow(), title);
    return color.isValid() ? std::optional<quint32>(color.rgb()) : std::nullopt;
}

} // namespace qm::desktop
