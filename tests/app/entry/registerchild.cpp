// Registers entries through the new-entry window in a loop until it is killed. Entry i has the
// heading "entry i" and the keywords "i-0" ... "i-4"; each registration prints its number.

#include "app/common/storemessages.h"
#include "app/entry/frmnewdata.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/scriptedprompter.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QString folder = QCoreApplication::arguments().value(1);
    qm::desktop::ScriptedPrompter prompter;
    qm::store::DatabaseModule database(qm::app::storeHost(prompter), folder);
    database.LoadDictionarySets();
    database.OpenDictionarySet();
    qm::store::Settings settings;
    qm::app::frmNewData window(database, settings, prompter);
    for (int i = 0;; ++i) {
        for (int k = 0; k < 5; ++k)
            window.lstIndex->addItem(QStringLiteral("%1-%2").arg(i).arg(k));
        window.txtHeading->setText(QStringLiteral("entry %1").arg(i));
        window.TextBox->setProperty("Text", QStringLiteral("本文 %1").arg(i));
        if (!window.RegisterEntry()) {
            std::fprintf(stderr, "%s\n", qPrintable(prompter.texts().join(QLatin1Char('\n'))));
            return 1;
        }
        window.ClearEditor();
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
