#include "adminwindows.h"
#include "entrywindows.h"
#include "mdimain.h"

#include "app/common/japanesetext.h"

#include "app/store/bodytext.h"
#include "app/store/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/messageboxprompter.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/progresswindow.h"
#include "platform/desktop/qttranslation.h"
#include "platform/rtf/rtf.h"

#include <QApplication>
#include <QDir>
#include <QProcess>

#include <unistd.h>

int main(int argc, char *argv[])
{
    // The embedded browser's sandbox cannot run as root; only then is it switched off.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    qm::app::prepareJapaneseText();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    qm::desktop::installQtJapanese(app);
    // Rich-text bodies are searched on their text, which the store gets from the RTF reader.
    qm::store::setRichTextReader(&qm::rtf::rtfToPlainText);
    qm::app::useJapaneseFonts();
    QApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    // The desktop entry an install puts in share/applications: its name and icon in the shell.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));

    qm::desktop::MessageBoxPrompter prompter;
    qm::store::DatabaseModule database(prompter, qm::desktop::ProgramFolder::path());
    database.setManualFolderMissingHandler([] {
        const QString installer = QApplication::applicationDirPath() + QStringLiteral("/manual-install");
        QProcess::startDetached(installer, {qm::desktop::ProgramFolder::path()});
    });

    // Dictionaries whose search keys were made by another version get them anew when opened.
    qm::desktop::ProgressWindow refolding(QStringLiteral("辞書の検索用データを更新しています..."), false);
    database.setProgressHandler([&refolding](qint64 done, qint64 total) { return refolding.update(done, total); });

    qm::store::Settings settings;
    qm::app::mdiMain window(database, settings, prompter);
    qm::app::installAdminWindows(window, database, settings, prompter);
    qm::app::installEntryWindows(window, database, settings, prompter);
    prompter.setParent(&window);
    window.show();
    return QApplication::exec();
}
