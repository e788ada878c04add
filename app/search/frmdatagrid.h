#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace qm::store {
class DatabaseModule;
class Settings;
} // namespace qm::store

namespace qm::app {

class HeadingGridModel;

// The heading grid: every entry of one dictionary of the open set, as heading, type and renewal
// date, sortable by a click on a column header (with Ctrl alone: descending). A double-click on
// a row chooses its entry. Hidden after a choice, so the next showing keeps the dictionary and
// the order; closed by the close button or box, which saves its placement and column widths,
// so the next showing starts again from the set open then.
class frmDataGrid final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmDataGrid)

public:
    frmDataGrid(store::DatabaseModule &database, store::Settings &settings, QWidget *parent = nullptr);
    ~frmDataGrid() override;

    // Shows the grid modally; true with the slot and number of the entry chosen.
    bool ReturnSelectData(int &slot, qint32 &number);

    // The modifier keys of the latest mouse event on the grid: 1 Shift, 2 Ctrl, 4 Alt, added.
    int lastModifierState() const { return m_modifierState; }

    // Opens a help topic; set by the main window.
    void setHelpHandler(std::function<void(const QString &)> handler) { m_showHelp = std::move(handler); }
    // Another program changed the dictionary in `slot`: shown, it is read again in its order.
    void dictionaryChangedElsewhere(int slot);

    // Tells the user a message; set by the main window.
    void setMessageHandler(std::function<void(const QString &)> handler) { m_inform = std::move(handler); }

    QLabel *Label1 = nullptr;
    QComboBox *cboDictionary = nullptr;
    QPushButton *cmdClose = nullptr;
    QTableView *grdDataGrid = nullptr;

public slots:
    // Closing (the close button, the close box, Escape): nothing chosen, the window unloaded.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenu();
    void load();
    void unload();
    void saveSettings();
    void restorePlacement();
    void layoutClient(const QSize &client);
    void dictionaryChanged();
    void sortByColumn(int column);
    void refreshColumns();
    void chooseRow(int row);

    store::DatabaseModule &m_database;
    store::Settings &m_settings;
    HeadingGridModel *m_model = nullptr;
    QWidget *m_client = nullptr;
    std::function<void(const QString &)> m_showHelp;
    std::function<void(const QString &)> m_inform;
    bool m_loaded = false;
    quint64 m_generation = 0; // the open set the dictionary list was taken from
    int m_modifierState = 0;
    int m_order = 0; // the shown order (store::HeadingList::Order) and its direction
    bool m_descending = false;
    int m_chosenSlot = 0;
    qint32 m_chosenNumber = 0;
};

} // namespace qm::app
