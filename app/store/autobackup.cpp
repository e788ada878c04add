#include "autobackup.h"

#include "dictionaryset.h"
#include "settings.h"

#include "platform/sqlite/error.h"

#include <QDir>
#include <QFileInfo>

namespace qm::store {

BackupOptions readBackupOptions(const Settings &settings)
{
    BackupOptions options;
    options.enabled = settings.value(keys::Backup::Enabled) != 0;
    const QString folder = settings.value(keys::Backup::Folder).trimmed();
    options.root = folder.isEmpty() ? defaultBackupRoot() : folder;
    options.policy.daily = qMax(1, int(settings.value(keys::Backup::DailyGenerations)));
    options.policy.weekly = qMax(0, int(settings.value(keys::Backup::WeeklyGenerations)));
    return options;
}

QStringList dictionariesOfSets(const QString &setFile)
{
    const SetFileContents contents = readDictionarySetsFile(setFile);
    QStringList files;
    for (int i = 0; i < contents.table.DictionarySetCount; ++i)
        for (const QString &file : contents.table.DictionarySetList[size_t(i)].fileNames()) {
            const QString absolute = QFileInfo(QFileInfo(setFile).absoluteDir(), file).absoluteFilePath();
            if (!files.contains(absolute))
                files.append(absolute);
        }
    return files;
}

namespace {

BackupOutcome backUpOne(const QString &path, const BackupOptions &options, bool onlyChanged, bool dictionary)
{
    BackupOutcome outcome;
    outcome.path = path;
    if (onlyChanged && !changedSinceBackup(path, options.root)) {
        outcome.skipped = true;
        return outcome;
    }
    try {
        outcome.generation = dictionary ? BackupDictionary(path, options.root, options.policy)
                                        : BackupPlainFile(path, options.root, options.policy);
    } catch (const sqlite::Error &e) {
        outcome.error = e.message();
    }
    return outcome;
}

} // namespace

QList<BackupOutcome> backUpSets(const QString &setFile, const BackupOptions &options, bool onlyChanged)
{
    QList<BackupOutcome> outcomes;
    if (QFileInfo(setFile).isFile())
        outcomes.append(backUpOne(setFile, options, onlyChanged, false));
    for (const QString &path : dictionariesOfSets(setFile))
        outcomes.append(backUpOne(path, options, onlyChanged, true));
    return outcomes;
}

} // namespace qm::store
