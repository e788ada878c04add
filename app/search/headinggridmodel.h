#pragma once

#include "app/store/search/headinglist.h"
#include "platform/sqlite/error.h"

#include <QAbstractTableModel>

#include <memory>
#include <optional>
#include <vector>

namespace qm::store {
class DatabaseModule;
}

namespace qm::app {

// The rows of the heading grid: the entries of one dictionary of the open set in the chosen
// order, read a batch at a time as the view scrolls to them, so a dictionary of a million
// entries opens as fast as one of a hundred. The batches are read on the search worker, with
// its own connection to the file, and come in while the window goes on. Columns: heading, type
// name, renewal date, and the entry number (which the grid hides).
class HeadingGridModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HeadingGridModel)

public:
    enum Column { HeadingColumn = 0, TypeColumn = 1, DateColumn = 2, NumberColumn = 3, ColumnCount = 4 };
    // Rows read from the store at a time: about a window's worth, so opening reads no more.
    static constexpr int Batch = 64;

    explicit HeadingGridModel(store::DatabaseModule &database, QObject *parent = nullptr);
    ~HeadingGridModel() override;

    // Shows the entries of the dictionary in `slot` of the open set in the order (and asks for
    // the first batch); a slot without a dictionary shows nothing.
    void show(int slot, store::HeadingList::Order order, bool descending);
    void clear();
    // True while a batch asked for has not come yet.
    bool isReading() const { return m_reading; }

    // The entry number of a row, 0 for none.
    qint32 documentNumber(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

signals:
    // The dictionary failed part way (damaged, or gone): the rows read before stay, no more are
    // asked of it. `reason` is for the user.
    void readFailed(const QString &reason);

public:
    // Why the shown dictionary failed part way, until another is shown.
    const std::optional<sqlite::Error> &failure() const { return m_failure; }

private:
    struct Cursor;
    void batchRead(const std::shared_ptr<Cursor> &cursor, std::vector<store::HeadingRow> rows, bool atEnd,
                   const std::optional<sqlite::Error> &failure);

    store::DatabaseModule &m_database;
    std::optional<sqlite::Error> m_failure;
    // Where the shown list stands on the worker; only the worker reads and moves it.
    std::shared_ptr<Cursor> m_cursor;
    bool m_atEnd = true;
    bool m_reading = false;
    std::vector<store::HeadingRow> m_rows;
};

} // namespace qm::app
