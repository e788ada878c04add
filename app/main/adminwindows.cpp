#include "adminwindows.h"

#include "mdimain.h"

#include "app/admin/frmabout.h"
#include "app/admin/frmbackups.h"
#include "app/admin/frmdictionarysetslist.h"
#include "app/admin/frmoption.h"
#include "app/admin/frmsetupdictionary.h"
#include "app/icons/viewericons.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/programfolder.h"

#include <QComboBox>

namespace qm::app {

void installAdminWindows(mdiMain &window, store::DatabaseModule &database, store::Settings &settings,
                         desktop::Prompter &prompter)
{
    const HelpHandler help = [&window](const QString &topic) { window.ShowHelp(topic); };
    window.windows.dictionarySets = [&window, &database, &prompter, help] {
        frmDictionarySetsList dialog(database, prompter, help, &window);
        dialog.exec();
        // The main window takes the focus back, into its keyword box.
        window.activateWindow();
        window.cboKeyWord->setFocus();
    };
    window.windows.setupDictionary = [&window, &database, &prompter] {
        // The main window is hidden meanwhile: the dialog stands on its own.
        frmSetupDictionary dialog(database, prompter);
        dialog.setWindowIcon(window.windowIcon());
        dialog.exec();
    };
    window.windows.options = [&window, &settings, &prompter] {
        frmOption dialog(settings, window.options(), prompter, desktop::ProgramFolder::path(), &window);
        dialog.exec();
    };
    window.windows.backups = [&window, &database, &settings, &prompter] {
        frmBackups dialog(database, settings, prompter, &window);
        dialog.setHelp([&window](const QString &topic) { window.ShowHelp(topic); });
        dialog.exec();
        window.activateWindow();
        window.cboKeyWord->setFocus();
        return dialog.changedOpenSet();
    };
    window.windows.about = [&window, help] {
        frmAbout dialog(help, &window);
        dialog.exec();
    };
}

} // namespace qm::app
