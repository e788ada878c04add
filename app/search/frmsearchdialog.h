#pragma once

#include "app/store/search/searchcondition.h"
#include "app/store/sets/slot.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QPushButton;

namespace qm::desktop {
class Prompter;
}
namespace qm::store {
class DatabaseModule;
struct SearchResults;
}

namespace qm::app {

class frmSearchIndexList;

// The condition search: five rows of what to look at (keyword, heading, body or type), how to
// match and the text. The rows become a store::SearchCondition, which the store runs over the
// open set; the matches fill the result list, where the user chooses one. One instance lives
// for the whole run: it is hidden, not destroyed, so the lists of texts used before stay.
class frmSearchDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmSearchDialog)

public:
    static constexpr int RowCount = 5;

    // What a row looks at: the items of cboObject(i), in this order.
    enum class RowObject { Keyword = 0, Heading = 1, Body = 2, Type = 3 };

    frmSearchDialog(store::DatabaseModule &database, frmSearchIndexList &results, desktop::Prompter &prompter,
                    QWidget *parent = nullptr);
    ~frmSearchDialog() override;

    // Shows the dialog modally; true with the slot and number of the entry chosen in the result
    // list.
    bool ReturnSelectData(int &slot, qint32 &number);

    // The rows as a condition. nullopt when nothing is to be searched: no text and no type,
    // two type rows, or the object type with a body text (the last two are said to the user).
    std::optional<store::SearchCondition> BuildSearchCondition();
    // Starts the search of the condition on the search worker: the matches fill the result list
    // as they come, and once the search has ended the user chooses there; "見つかりません" when
    // nothing matched.
    void RunConditionSearch(const store::SearchCondition &condition);
    // True while a search started here runs.
    bool isSearching() const { return m_searching; }

    // Opens a help topic; set by the main window.
    void setHelpHandler(std::function<void(const QString &)> handler) { m_showHelp = std::move(handler); }

    // The rows' controls: objectNames "cboObject0" ... "cboObject4", and so on.
    std::array<QComboBox *, RowCount> cboObject{};
    std::array<QComboBox *, RowCount> cboCondition{};
    std::array<QComboBox *, RowCount> cboSearchText{};
    QPushButton *cmdFind = nullptr;
    QPushButton *cmdClose = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildMenu();
    void resetRows();
    void fillConditions(int row);
    void nameRow(int row);
    bool hasSomethingToSearch() const;
    void find();
    void rememberTexts();
    void searchEnded(const store::SearchResults &results);

    store::DatabaseModule &m_database;
    frmSearchIndexList &m_results;
    desktop::Prompter &m_prompter;
    std::function<void(const QString &)> m_showHelp;
    store::Slot m_chosenSlot;
    qint32 m_chosenNumber = 0;
    bool m_searching = false;
    quint64 m_searchTicket = 0;
    quint64 m_searchGeneration = 0;
};

} // namespace qm::app
