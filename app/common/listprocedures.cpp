#include "listprocedures.h"

#include "app/store/dictionary/viewertype.h"

#include <QComboBox>
#include <QListWidget>

#include <array>

namespace qm::app {
namespace {

bool sameIgnoringCase(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasData(const QVariant &data, int value)
{
    bool ok = false;
    const int stored = data.toInt(&ok);
    return ok && stored == value;
}

} // namespace

QString ViewerListLabel(int viewerCode)
{
    static const std::array<QString, store::Viewers.size()> labels{
        QStringLiteral("ﾃｷｽﾄ"), QStringLiteral("ﾘｯﾁﾃｷｽﾄ"), QStringLiteral("URL"),
        QStringLiteral("HTML"), QStringLiteral("OLE")};
    if (!store::isViewerCode(viewerCode))
        return {};
    return labels.at(static_cast<std::size_t>(viewerCode - store::FirstViewer));
}

void FillViewerTypeList(QComboBox &list)
{
    list.clear();
    for (const store::Viewer viewer : store::Viewers)
        list.addItem(ViewerListLabel(store::viewerCode(viewer)), int(store::viewerCode(viewer)));
}

void FillViewerTypeList(QListWidget &list)
{
    list.clear();
    for (const store::Viewer viewer : store::Viewers) {
        const int code = store::viewerCode(viewer);
        auto *item = new QListWidgetItem(ViewerListLabel(code), &list);
        item->setData(Qt::UserRole, code);
    }
}

void SelectItemByData(QComboBox &list, int value)
{
    for (int row = 0; row < list.count(); ++row) {
        if (hasData(list.itemData(row), value)) {
            list.setCurrentIndex(row);
            return;
        }
    }
}

void SelectItemByData(QListWidget &list, int value)
{
    for (int row = 0; row < list.count(); ++row) {
        if (hasData(list.item(row)->data(Qt::UserRole), value)) {
            list.setCurrentRow(row);
            return;
        }
    }
}

bool ListContains(const QComboBox &list, const QString &text)
{
    for (int row = 0; row < list.count(); ++row) {
        if (sameIgnoringCase(list.itemText(row), text))
            return true;
    }
    return false;
}

bool ListContains(const QListWidget &list, const QString &text)
{
    for (int row = 0; row < list.count(); ++row) {
        if (sameIgnoringCase(list.item(row)->text(), text))
            return true;
    }
    return false;
}

} // namespace qm::app
