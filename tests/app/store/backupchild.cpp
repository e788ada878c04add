// Backs up or restores one dictionary, printing "done" when it has finished:
//   qm-backup-child backup <dictionary> <backup folder>
//   qm-backup-child restore <generation> <dictionary> <backup folder>

#include "app/store/care/backup.h"

#include "platform/sqlite/error.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.value(1) == QLatin1String("backup"))
            qm::store::BackupDictionary(args.value(2), args.value(3), {});
        else
            qm::store::RestoreGeneration(args.value(2), args.value(3), args.value(4), {});
    } catch (const qm::sqlite::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::puts("done");
    return 0;
}
