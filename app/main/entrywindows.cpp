#include "entrywindows.h"

#include "mdimain.h"

#include "app/entry/frmnewdata.h"

#include <QApplication>

namespace qm::app {

void installEntryWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                         desktop::Prompter &prompter)
{
    window.windows.newEntry = [&window, &database, &settings, &prompter] {
        // One entry window at a time: a shortcut can still reach the command while one is open.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("frmNewData") && w->isVisible()) {
                w->raise();
                w->activateWindow();
                return;
            }
        }
        if (window.IsEditorOpen())
            return;
        auto *form = new frmNewData(database, settings, prompter,
                                    [&window](const QString &topic) { window.ShowHelp(topic); }, &window);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->setWindowIcon(window.windowIcon());
        form->show();
        form->activateWindow();
    };
}

} // namespace qm::app
