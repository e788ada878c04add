#include "headinggridmodel.h"

#include "app/common/storemessages.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/datetext.h"
#include "platform/sqlite/error.h"

#include <QPointer>

namespace qm::app {

// The worker's side of a shown list: which slot and order, and the cursor on the worker's
// connection, made with the first batch and moved on by each. Only the worker thread touches it.
struct HeadingGridModel::Cursor {
    int slot = -1;
    store::HeadingList::Order order = store::HeadingList::Order::Entry;
    bool descending = false;
    quint64 epoch = 0;
    std::unique_ptr<store::HeadingCursor> cursor;

    struct Batch {
        std::vector<store::HeadingRow> rows;
        bool atEnd = true;
        std::optional<sqlite::Error> failure;
    };

    // On the worker thread.
    Batch read(const store::SearchWorker::Opened &opened)
    {
        Batch batch;
        store::DictionaryStorage *d = slot < int(opened.members.size()) ? opened.members[std::size_t(slot)] : nullptr;
        if (!d) {
            if (opened.failure && opened.failure->slot == slot)
                batch.failure = opened.failure->error;
            return batch;
        }
        // The worker let go of the file since the last batch (the set closed or a file was
        // replaced): the list ends with what was read.
        if (cursor && epoch != opened.epoch)
            return batch;
        try {
            if (!cursor) {
                cursor = d->headings(order, descending);
                epoch = opened.epoch;
            }
            batch.rows = cursor->next(HeadingGridModel::Batch);
            batch.atEnd = cursor->atEnd();
        } catch (const sqlite::Error &e) {
            batch.failure = e;
        }
        return batch;
    }
};

HeadingGridModel::HeadingGridModel(store::DatabaseModule &database, QObject *parent)
    : QAbstractTableModel(parent)
    , m_database(database)
{
}

HeadingGridModel::~HeadingGridModel() = default;

void HeadingGridModel::show(int slot, store::HeadingList::Order order, bool descending)
{
    beginResetModel();
    m_rows.clear();
    m_failure.reset();
    m_reading = false;
    const bool present = m_database.storage(slot) != nullptr;
    m_cursor = present ? std::make_shared<Cursor>(Cursor{slot, order, descending, 0, nullptr}) : nullptr;
    m_atEnd = !present;
    endResetModel();
    if (canFetchMore({}))
        fetchMore({});
}

void HeadingGridModel::clear()
{
    show(-1, store::HeadingList::Order::Entry, false);
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
    return !parent.isValid() && !m_atEnd && !m_reading;
}

void HeadingGridModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    m_reading = true;
    store::SearchWorker &worker = m_database.searchWorker();
    const QPointer<QObject> self(this);
    worker.run(m_database.openFiles(), [&worker, self, cursor = m_cursor](const store::SearchWorker::Opened &opened,
                                                                          const std::atomic_bool &) {
        worker.deliver(self, [self, cursor, batch = cursor->read(opened)] {
            static_cast<HeadingGridModel *>(self.data())->batchRead(cursor, batch.rows, batch.atEnd, batch.failure);
        });
    });
}

void HeadingGridModel::batchRead(const std::shared_ptr<Cursor> &cursor, std::vector<store::HeadingRow> rows,
                                 bool atEnd, const std::optional<sqlite::Error> &failure)
{
    // A batch of a list shown before.
    if (cursor != m_cursor)
        return;
    m_reading = false;
    if (failure) {
        // A file that fails part way shows what was read; no more is asked of it.
        m_atEnd = true;
        m_failure = failure;
        emit readFailed(app::describeFailure(*failure));
        return;
    }
    m_atEnd = atEnd;
    if (rows.empty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    for (store::HeadingRow &r : rows)
        m_rows.push_back(std::move(r));
    endInsertRows();
}

} // namespace qm::app
