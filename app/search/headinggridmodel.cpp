#include "headinggridmodel.h"

#include "app/store/dictionary/messages.h"
#include "platform/desktop/datetext.h"
#include "platform/sqlite/error.h"

namespace qm::app {

HeadingGridModel::HeadingGridModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

HeadingGridModel::~HeadingGridModel() = default;

void HeadingGridModel::show(store::Dictionary *dictionary, store::HeadingList::Order order, bool descending)
{
    beginResetModel();
    m_rows.clear();
    m_failure.reset();
    m_list = dictionary ? std::make_unique<store::HeadingList>(*dictionary, order, descending) : nullptr;
    endResetModel();
    if (canFetchMore({}))
        fetchMore({});
}

void HeadingGridModel::clear()
{
    show(nullptr, store::HeadingList::Order::Entry, false);
}

qint32 HeadingGridModel::documentNumber(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[std::size_t(row)].DocumentNumber : 0;
}

int HeadingGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HeadingGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HeadingGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || role != Qt::DisplayRole)
        return {};
    const store::HeadingRow &r = m_rows[std::size_t(index.row())];
    switch (index.column()) {
    case HeadingColumn: return r.Heading;
    case TypeColumn: return r.ViewerType;
    case DateColumn: return desktop::dateTimeText(r.RenewalDate);
    case NumberColumn: return r.DocumentNumber;
    default: break;
    }
    return {};
}

QVariant HeadingGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case HeadingColumn: return QStringLiteral("見出し");
    case TypeColumn: return QStringLiteral("種類");
    case DateColumn: return QStringLiteral("更新日");
    case NumberColumn: return QStringLiteral("DocumentNumber");
    default: break;
    }
    return {};
}

bool HeadingGridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_list && !m_list->atEnd();
}

void HeadingGridModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    std::vector<store::HeadingRow> rows;
    try {
        rows = m_list->next(Batch);
    } catch (const sqlite::Error &e) {
        // A file that fails part way shows what was read; no more is asked of it.
        m_list.reset();
        m_failure = e;
        emit readFailed(store::describeFailure(e));
        return;
    }
    if (rows.empty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    for (store::HeadingRow &r : rows)
        m_rows.push_back(std::move(r));
    endInsertRows();
}

} // namespace qm::app
