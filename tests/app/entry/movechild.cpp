// Moves entry 1 of the first dictionary of the set into the second through the modification and
// new-entry windows, and is killed (SIGKILL) the moment the new-entry window has registered it,
// before the entry leaves its own dictionary.

#include "app/common/storemessages.h"
#include "app/entry/frmmodifydata.h"
#include "app/entry/frmnewdata.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/scriptedprompter.h"

#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QString folder = QCoreApplication::arguments().value(1);
    qm::desktop::ProgramFolder::setPath(folder);
    qm::desktop::ScriptedPrompter prompter;
    qm::store::DatabaseModule database(qm::app::storeHost(prompter), folder);
    database.LoadDictionarySets();
    database.OpenDictionarySet();
    qm::store::Settings settings;

    qm::app::frmModifyData::Host host;
    host.newEntryWindow = [&]() {
        auto *form = new qm::app::frmNewData(database, settings, prompter);
        // Connected before the modification window's own handler, so it runs first.
        QObject::connect(form, &qm::app::frmNewData::registered, [] { std::raise(SIGKILL); });
        return form;
    };
    qm::app::frmModifyData window(database, settings, prompter, {}, host);
    if (!window.SetDocument(0, 1))
        return 1;
    prompter.queueAnswer(qm::desktop::Prompter::Answer::Yes);
    window.mnuEditMoveDic->trigger();
    qm::app::frmNewData *form = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<qm::app::frmNewData *>(w))
            form = f;
    if (!form)
        return 2;
    form->cboDictionary->setCurrentIndex(1);
    form->RegisterEntry();
    std::fprintf(stderr, "still running after the registration\n");
    return 3;
}
