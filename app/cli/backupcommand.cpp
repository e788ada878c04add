#include "app/cli/backupcommand.h"

#include "app/common/storemessages.h"
#include "app/exchange/serverbackup.h"
#include "app/store/settings.h"
#include "platform/desktop/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qm::app {

namespace {

enum Status { Success = 0, Failed = 1 };

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

int runBackup(const QString &setFile, const store::BackupOptions &options, QTextStream &out, QTextStream &err)
{
    if (!QFileInfo(setFile).isFile()) {
        err << QStringLiteral("辞書セットのファイル %1 が見つからないため、バックアップしませんでした\n").arg(shown(setFile));
        return Failed;
    }
    int done = 0;
    int failed = 0;
    for (const store::BackupOutcome &outcome : store::backUpSets(setFile, options, false)) {
        if (outcome.ok()) {
            ++done;
            out << QStringLiteral("バックアップしました: %1 → %2\n").arg(shown(outcome.path), shown(outcome.generation));
        } else {
            ++failed;
            err << QStringLiteral("バックアップできませんでした: %1\n  %2\n").arg(shown(outcome.path), errorText(*outcome.failure));
            if (const QString remedy = app::describeBackupRemedy(outcome.remedy); !remedy.isEmpty())
                err << QStringLiteral("  %1\n").arg(remedy);
        }
    }
    out << QStringLiteral("%1 個のファイルをバックアップしました（保存先: %2）").arg(done).arg(shown(options.root));
    if (failed > 0)
        out << QStringLiteral("。%1 個のファイルはバックアップできませんでした").arg(failed);
    out << QStringLiteral("\n");
    out.flush();
    err.flush();
    return failed == 0 ? Success : Failed;
}

int runBackupCommand(int &argc, char *argv[])
{
    const QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const store::Settings settings;
    // Server dictionaries are backed up with the passwords libpq's own sources give: nothing asks.
    return runBackup(desktop::ProgramFolder::filePath(QStringLiteral("DicSets.ini")),
                     exchange::withServerBackups(store::readBackupOptions(settings)), out, err);
}

} // namespace qm::app
