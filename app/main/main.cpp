#include "adminwindows.h"
#include "backupschedule.h"
#include "app/common/storemessages.h"
#include "app/cli/commandline.h"
#include "app/cli/displaycheck.h"
#include "entrywindows.h"
#include "exchangewindows.h"
#include "mdimain.h"
#include "recoverwindows.h"
#include "searchwindows.h"
#include "app/cli/singleinstance.h"
#include "app/exchange/serverbackup.h"
#include "app/main/startcommand.h"

#include "app/common/japanesetext.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/datetext.h"
#include "platform/desktop/dialogfilechooser.h"
#include "platform/desktop/messageboxprompter.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/progresswindow.h"
#include "platform/objects/objecthandoff.h"
#include "platform/desktop/qttranslation.h"
#include "platform/rtf/rtf.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <utility>

#include <unistd.h>

namespace {

// The help installer sits beside the program in the build tree and in a copied program folder;
// an install keeps it in the program's private library folder.
QString helpInstallerPath()
{
    const QDir folder(QApplication::applicationDirPath());
    const QString beside = folder.filePath(QStringLiteral("manual-install"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(folder.filePath(QStringLiteral(QM_PRIVATE_LIB_FROM_BIN "/manual-install")));
}

} // namespace

int main(int argc, char *argv[])
{
    // The embedded browser's sandbox cannot run as root; only then is it switched off.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qm::desktop::pinLocalTimeZone();
    const qm::app::CommandLine line = qm::app::parseCommandLine(qm::app::commandLineOf(argc, argv));
    // The display the windows' application object will use, as it will read it.
    if (!line.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", line.platform.toLocal8Bit());
    if (!line.display.isEmpty())
        qputenv("DISPLAY", line.display.toLocal8Bit());

    qm::app::prepareJapaneseText();
    // The names decide the per-user data folder, so they come before anything asks for it.
    QApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    // Usage errors, help, lookups, export, import and backups need no display and no running
    // program.
    if (const std::optional<int> status = qm::app::runWithoutWindows(argc, argv, line))
        return *status;
    const qm::app::StartRequest request = line.start;
    using HandOver = qm::app::SingleInstance::HandOver;
    HandOver found = HandOver::NoneRunning;
    {
        // A later start hands its command line to the running program before it pays for the
        // windows' application object (fonts, the display) and ends at once.
        const QCoreApplication probe(argc, argv);
        found = qm::app::SingleInstance::handOver(qm::desktop::ProgramFolder::path(), request.arguments());
    }
    if (found == HandOver::HandedOver)
        return 0;
    if (found == HandOver::Closing)
        return qm::app::tellUser(argc, argv, qm::app::SingleInstance::closingText());
    if (const std::optional<QString> problem = qm::app::displayProblem()) {
        fputs(problem->toLocal8Bit().constData(), stderr);
        return 1;
    }
    QApplication app(argc, argv);
    qm::desktop::installQtJapanese(app);
    qm::app::useJapaneseFonts();
    // The desktop entry an install puts in share/applications: its name and icon in the shell.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillmere.quillmere"));

    // One program per data folder: a start that found none above serves the folder now, unless
    // another start came first meanwhile.
    qm::app::SingleInstance instance(qm::desktop::ProgramFolder::path());
    if (!instance.start(request.arguments()))
        return instance.closingFound() ? qm::app::tellUser(argc, argv, qm::app::SingleInstance::closingText()) : 0;
    // Copies handed to other programs by runs that were killed are not needed by anyone.
    qm::objects::ObjectHandoff::removeStaleFolders();

    qm::desktop::MessageBoxPrompter prompter;
    qm::store::DatabaseModule database(qm::app::storeHost(prompter), qm::desktop::ProgramFolder::path());
    // Rich-text bodies are searched on their text, which the store gets from the RTF reader.
    database.setRichTextReader(&qm::rtf::rtfToPlainText);
    // The help pages are installed once a run, after the window shows: starting a process from
    // the program copies its memory map, which would hold the first start's window back.
    bool helpInstallerStarted = false;
    database.setManualFolderMissingHandler([&helpInstallerStarted] {
        if (std::exchange(helpInstallerStarted, true))
            return;
        QTimer::singleShot(0, qApp, [] { QProcess::startDetached(helpInstallerPath(), {qm::desktop::ProgramFolder::path()}); });
    });

    // Dictionaries whose search keys were made by another version get them anew when opened.
    qm::desktop::ProgressWindow refolding(QStringLiteral("辞書の検索用データを更新しています..."), false);
    database.setProgressHandler([&refolding](qint64 done, qint64 total) { return refolding.update(done, total); });

    qm::store::Settings settings;
    // Server dictionaries: the connect timeout of the options, and a password libpq's own
    // sources do not give asked once per run.
    database.setServerTimeout([&settings] { return settings.serverTimeout(); });
    database.setPasswordAsker([&prompter](const QString &location) {
        return prompter.askPassword(QStringLiteral("サーバーの辞書に接続するパスワードを入力してください。\n%1").arg(location));
    });
    qm::desktop::DialogFileChooser files;
    // A damaged dictionary found while the set opens (or later) gets the recovery dialog.
    qm::app::RecoveryOffer recovery(database, settings, prompter, files);
    qm::app::mdiMain window(database, settings, prompter);
    recovery.setWindow(&window);
    qm::app::installSearchWindows(window, database, settings, prompter);
    qm::app::installAdminWindows(window, database, settings, prompter);
    qm::app::installEntryWindows(window, database, settings, prompter);
    qm::app::installExchangeWindows(window, database, prompter, files);
    prompter.setParent(&window);
    window.show();
    instance.setHandler([&window, &database](const QStringList &handed) {
        qm::app::runCommandLine(window, database, qm::app::handedStartRequest(handed));
    });
    if (!request.isEmpty())
        QTimer::singleShot(0, &window, [&window, &database, request] {
            qm::app::runCommandLine(window, database, request);
        });
    // Changed dictionaries are backed up every hour in the background, and once more at the end.
    // Server dictionaries of the sets are backed up too, with the passwords typed during this run.
    qm::app::BackupSchedule backups(database.setFilePath(), [&settings, &database] {
        return qm::exchange::withServerBackups(qm::store::readBackupOptions(settings),
                                               database.openSet().rememberedPasswords());
    });
    QObject::connect(&backups, &qm::app::BackupSchedule::roundFailed, &window, [&prompter](const QString &message) {
        prompter.inform(message, {}, qm::desktop::Prompter::Icon::Warning);
    });
    backups.start();
    const int status = QApplication::exec();
    // The windows are gone: a start from now on is told that this program is closing, until the
    // process ends and the system lets the lock go.
    instance.markClosing();
    // A long last round shows that the program is still at work, and how far it is.
    qm::desktop::ProgressWindow saving(QStringLiteral("変更した辞書をﾊﾞｯｸｱｯﾌﾟしています..."), false);
    backups.runAtExit([&saving](qint64 done, qint64 total) { saving.update(done, total + 1); });
    saving.update(1, 1);
    return status;
}
