#include "searchwindows.h"

#include "mdimain.h"
#include "windowarrangement.h"

#include "app/search/frmdatagrid.h"
#include "app/search/frmsearchdialog.h"
#include "app/search/frmsearchindexlist.h"
#include "app/store/server/servernotify.h"
#include "platform/desktop/prompter.h"

namespace qm::app {
namespace {

// The windows hand back a slot as int; the main window keeps it as a checked slot.
template <typename Window>
std::function<bool(store::Slot &, qint32 &)> chooserOf(Window *window)
{
    return [window](store::Slot &slot, qint32 &number) {
        int chosen = slot.index;
        const bool ok = window->ReturnSelectData(chosen, number);
        slot = store::Slot(chosen);
        return ok;
    };
}

} // namespace

void installSearchWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                          desktop::Prompter &prompter)
{
    const auto help = [&window](const QString &topic) { window.ShowHelp(topic); };
    auto *conditionSearch = new frmSearchDialog(database, *window.searchIndexList(), prompter, &window);
    conditionSearch->setHelpHandler(help);
    auto *headingGrid = new frmDataGrid(database, settings, &window);
    headingGrid->setHelpHandler(help);
    headingGrid->setMessageHandler([&prompter](const QString &text) { prompter.inform(text); });
    openCascadedOver(*headingGrid, window);
    openCascadedOver(*conditionSearch, window);
    // Another program's change to a server dictionary marks the rows taken from it.
    auto *changes = new store::ServerChangeWatch(database, &window);
    QObject::connect(changes, &store::ServerChangeWatch::dictionaryChanged, window.searchIndexList(),
                     &frmSearchIndexList::dictionaryChangedElsewhere);
    QObject::connect(changes, &store::ServerChangeWatch::dictionaryChanged, headingGrid,
                     &frmDataGrid::dictionaryChangedElsewhere);
    window.windows.conditionSearch = chooserOf(conditionSearch);
    window.windows.headingList = chooserOf(headingGrid);
}

} // namespace qm::app
