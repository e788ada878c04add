#include "entrywindows.h"

#include "mdimain.h"
#include "windowarrangement.h"

#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <memory>

namespace qm::app {

namespace {

// The entry windows of one main window: the new-entry window while it lives (it is deleted on
// closing) and the modification window kept between edits.
struct EntryWindows {
    QPointer<frmNewData> newEntry;
    QPointer<frmModifyData> modify;

    frmNewData *shownNewEntry() const { return newEntry && newEntry->isVisible() ? newEntry.data() : nullptr; }
    bool anyShown() const { return shownNewEntry() || (modify && modify->isVisible()); }
};
using Registry = std::shared_ptr<EntryWindows>;

frmNewData *showNewEntryWindow(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                               desktop::Prompter &prompter, EntryWindows &registry)
{
    if (window.IsEditorOpen())
        return nullptr;
    auto *form = new frmNewData(database, settings, prompter,
                                [&window](const QString &topic) { window.ShowHelp(topic); }, &window);
    form->setAttribute(Qt::WA_DeleteOnClose);
    registry.newEntry = form;
    form->setWindowIcon(window.windowIcon());
    openCascadedOver(*form, window);
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

EntryEditorWindow::EditorFonts editorFonts(mdiMain &window)
{
    EntryEditorWindow::EditorFonts fonts;
    for (int i = 0; i < store::EditorKindCount; ++i) {
        fonts.names[i] = window.options().EditorFontNames[i];
        fonts.sizes[i] = window.options().EditorFontSizes[i];
    }
    return fonts;
}

frmModifyData *makeModifyWindow(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                                desktop::Prompter &prompter, const Registry &registry)
{
    const EntryEditorWindow::EditorFonts fonts = editorFonts(window);
    frmModifyData::Host host;
    host.editorFonts = [&window] { return editorFonts(window); };
    host.showHelp = [&window](const QString &topic) { window.ShowHelp(topic); };
    host.closeActiveViewer = [&window] {
        if (QMdiSubWindow *sub = window.mdiArea()->currentSubWindow())
            sub->close();
    };
    host.showDocument = [&window](qint16 slot, qint32 number) { window.ShowDocument(slot, number); };
    host.newEntryWindow = [&window, &database, &settings, &prompter, registry] {
        return showNewEntryWindow(window, database, settings, prompter, *registry);
    };
    auto *form = new frmModifyData(database, settings, prompter, fonts, std::move(host), &window);
    form->setWindowIcon(window.windowIcon());
    openCascadedOver(*form, window);
    return form;
}

} // namespace

void installEntryWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                         desktop::Prompter &prompter)
{
    const Registry registry = std::make_shared<EntryWindows>();
    window.windows.entryWindowShown = [registry] { return registry->anyShown(); };
    window.windows.newEntry = [&window, &database, &settings, &prompter, registry] {
        // One entry window at a time: a shortcut can still reach the command while one is open.
        if (QWidget *open = registry->shownNewEntry()) {
            open->raise();
            open->activateWindow();
            return;
        }
        showNewEntryWindow(window, database, settings, prompter, *registry);
    };

    // The modification window is made at its first use and kept, hidden, between edits.
    window.windows.modifyEntry = [registry, &window, &database, &settings, &prompter](qint16 slot, qint32 number) {
        if (!registry->modify)
            registry->modify = makeModifyWindow(window, database, settings, prompter, registry);
        frmModifyData *form = registry->modify;
        if (!form->SetDocument(slot, number))
            return false;
        form->show();
        form->raise();
        form->activateWindow();
        return true;
    };
    window.windows.unloadEntryWindows = [registry] {
        if (registry->modify)
            registry->modify->Unload();
    };
}

} // namespace qm::app
