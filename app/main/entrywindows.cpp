#include "entrywindows.h"

#include "mdimain.h"
#include "windowarrangement.h"

#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <memory>

namespace qm::app {

namespace {

QWidget *visibleWindow(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

frmNewData *showNewEntryWindow(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                               desktop::Prompter &prompter)
{
    if (window.IsEditorOpen())
        return nullptr;
    auto *form = new frmNewData(database, settings, prompter,
                                [&window](const QString &topic) { window.ShowHelp(topic); }, &window);
    form->setAttribute(Qt::WA_DeleteOnClose);
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
                                desktop::Prompter &prompter)
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
    host.newEntryWindow = [&window, &database, &settings, &prompter] {
        return showNewEntryWindow(window, database, settings, prompter);
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
    window.windows.newEntry = [&window, &database, &settings, &prompter] {
        // One entry window at a time: a shortcut can still reach the command while one is open.
        if (QWidget *open = visibleWindow(QStringLiteral("frmNewData"))) {
            open->raise();
            open->activateWindow();
            return;
        }
        showNewEntryWindow(window, database, settings, prompter);
    };

    // The modification window is made at its first use and kept, hidden, between edits.
    auto modify = std::make_shared<QPointer<frmModifyData>>();
    window.windows.modifyEntry = [modify, &window, &database, &settings, &prompter](qint16 slot, qint32 number) {
        if (!*modify)
            *modify = makeModifyWindow(window, database, settings, prompter);
        frmModifyData *form = *modify;
        if (!form->SetDocument(slot, number))
            return false;
        form->show();
        form->raise();
        form->activateWindow();
        return true;
    };
    window.windows.unloadEntryWindows = [modify] {
        if (*modify)
            (*modify)->Unload();
    };
}

} // namespace qm::app
