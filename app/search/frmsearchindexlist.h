#pragma once

#include "app/store/sets/slot.h"

#include <vector>

#include <QDialog>
#include <QHash>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QMenu;

namespace qm::store {
class DatabaseModule;
class Settings;
struct SearchFailure;
struct SearchResults;
struct SlotMatch;
} // namespace qm::store

namespace qm::app {

// The result list of a lookup or a condition search: one row per matching keyword, shown
// modally; hands the chosen entry's slot and number back to its caller. One instance lives for
// the whole run and keeps its rows while hidden.
class frmSearchIndexList final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmSearchIndexList)

public:
    // The largest number of rows a search lists.
    static constexpr int RowLimit = 1000;

    frmSearchIndexList(store::DatabaseModule &database, store::Settings &settings,
                       QWidget *parent = nullptr);
    ~frmSearchIndexList() override;

    void ClearList();
    // A search for `searched` starts: the list empties and shows what is searched for.
    void beginResults(const QString &searched);
    // Appends rows of the running search, in the order found.
    void addRows(const std::vector<store::SlotMatch> &rows);
    // The search has ended: its flags show (the limit reached, or stopped by the user).
    void endResults(const store::SearchResults &summary);
    // All three at once: what a search for `searched` found, in the order found, and its end.
    void showResults(const QString &searched, const std::vector<store::SlotMatch> &rows,
                     const store::SearchResults &summary);
    // Shows the list modally; true with the chosen slot and number when the user chose a row.
    bool ReturnSelectData(store::Slot &slot, qint32 &lngDocNumber);
    // True when the list holds rows of the set that is open now.
    bool hasRows() const;
    // The slot and entry number of every row, in the order listed (empty when hasRows() is not).
    QList<std::pair<int, qint32>> rowEntries() const;

    // Saves the placement and column widths and lets the window close (at the program's end).
    void Unload();

    // Opens a help topic; set by the main window.
    void setHelpHandler(std::function<void(const QString &)> handler) { m_showHelp = std::move(handler); }

    QLineEdit *txtSearchIndex = nullptr;
    QPushButton *cmdSqueeze = nullptr;
    QTreeWidget *ListIndex = nullptr;
    QLabel *lblNumberOfCases = nullptr;
    QLabel *lblMaxFlag = nullptr;
    // Shown when the search was stopped before its end: the list holds the rows found until then.
    QLabel *lblStopped = nullptr;
    // Shown when another program changed a dictionary the rows come from: searching again shows
    // the dictionary as it is now.
    QLabel *lblChanged = nullptr;

    // Another program changed the dictionary in `slot`: rows listed from it are marked as old.
    void dictionaryChangedElsewhere(int slot);

    // What the user is told when a search failed: the dictionary that failed and why.
    QString failureText(const store::SearchFailure &failure);

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void fitDictionaryColumn();
    void placeChangedLabel();
    void AddList(const store::SlotMatch &row);
    void buildControls();
    void buildMenu();
    void restoreSettings();
    void layoutClient(const QSize &client);
    QSize minimumClientSize() const;
    void updateCount();
    void chooseSelected();
    void finish(int result);
    void squeeze();
    void sortByHeading();
    void selectFirstRow();
    void onActivated();
    // The slot mark and the name of a dictionary ("①仕事").
    QString dictionaryLabel(store::Slot slot);

    store::DatabaseModule &m_database;
    store::Settings &m_settings;
    QWidget *m_client = nullptr;
    std::function<void(const QString &)> m_showHelp;
    QHash<int, QString> m_labels; // dictionary labels of this search, by slot
    quint64 m_generation = 0; // the open set the rows were taken from
    store::Slot m_chosenSlot;
    qint32 m_chosenNumber = 0;
    bool m_unloading = false;
    bool m_finishing = false; // a close that ends the modal showing itself
};

} // namespace qm::app
