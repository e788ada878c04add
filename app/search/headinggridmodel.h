#pragma once

#include "app/store/search/headinglist.h"
#include "platform/sqlite/error.h"

#include <QAbstractTableModel>

#include <memory>
#include <optional>
#include <vector>

namespace qm::app {

// The rows of the heading grid: the entries of one dictionary in the chosen order, read from
// the store a batch at a time as the view scrolls to them, so a dictionary of a million entries
// opens as fast as one of a hundred. Columns: heading, type name, renewal date, and the entry
// number (which the grid hides).
class HeadingGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { HeadingColumn = 0, TypeColumn = 1, DateColumn = 2, NumberColumn = 3, ColumnCount = 4 };
    // Rows read from the store at a time: about a window's worth, so opening reads no more.
    static constexpr int Batch = 64;

    explicit HeadingGridModel(QObject *parent = nullptr);
    ~HeadingGridModel() override;

    // Shows the dictionary's entries in the order (and reads the first batch); nullptr shows
    // nothing.
    void show(store::Dictionary *dictionary, store::HeadingList::Order order, bool descending);
    void clear();

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
    std::optional<sqlite::Error> m_failure;
    std::unique_ptr<store::HeadingList> m_list;
    std::vector<store::HeadingRow> m_rows;
};

} // namespace qm::app
