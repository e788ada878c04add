#include "dialogfilechooser.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTreeView>

namespace qm::desktop {
namespace {

constexpr int TypeColumn = 2;
constexpr int DateColumn = 3;

QString japaneseDate(const QDateTime &time)
{
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(time, QStringLiteral("yyyy/MM/dd HH:mm"));
}

// The file list's dates in Japanese, whatever language the desktop's own settings name.
class JapaneseDates final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || index.column() != DateColumn || !files)
            return QIdentityProxyModel::data(index, role);
        return japaneseDate(files->lastModified(mapToSource(index)));
    }
};

void widenTo(QHeaderView *header, int column, int width)
{
    if (header->sectionSize(column) < width)
        header->resizeSection(column, width);
}

// Starts in the request's folder, with its file chosen when it names one.
std::optional<QString> run(QFileDialog &dialog, const QString &start)
{
    const QFileInfo info(start);
    if (!start.isEmpty() && info.isDir()) {
        dialog.setDirectory(info.absoluteFilePath());
    } else if (!start.isEmpty()) {
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    fitForJapanese(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void fitForJapanese(QFileDialog &dialog)
{
    dialog.setProxyModel(new JapaneseDates(&dialog));
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!view)
        return;
    // The widest date and kind, with room for the cell's margins.
    const QFontMetrics metrics = view->fontMetrics();
    const int margin = 4 * view->style()->pixelMetric(QStyle::PM_HeaderMargin) + 8;
    const QString widestDate = japaneseDate(QDateTime(QDate(2000, 12, 28), QTime(20, 8)));
    widenTo(view->header(), DateColumn, metrics.horizontalAdvance(widestDate) + margin);
    widenTo(view->header(), TypeColumn, metrics.horizontalAdvance(QStringLiteral("ショートカット")) + margin);
}

std::optional<QString> DialogFileChooser::openFile(const Request &request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, QString(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog, request.fileName);
}

std::optional<QString> DialogFileChooser::saveFile(const Request &request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, QString(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return run(dialog, request.fileName);
}

std::optional<quint32> DialogFileChooser::chooseColor(quint32 initial, const QString &title)
{
    const QColor color = QColorDialog::getColor(QColor::fromRgb(initial), QApplication::activeWindow(), title);
    return color.isValid() ? std::optional<quint32>(color.rgb()) : std::nullopt;
}

} // namespace qm::desktop
