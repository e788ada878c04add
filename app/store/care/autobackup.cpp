#include "app/store/care/autobackup.h"

#include "app/store/care/compaction.h"
#include "app/store/sets/databasemodule.h"

#include "app/store/sets/dictionaryset.h"
#include "app/store/server/serverdictionary.h"
#include "app/store/settings.h"

#include "platform/sqlite/error.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

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

namespace {

QStringList filesOf(const QString &setFile, const DictionarySetTable &table)
{
    QStringList files;
    for (int i = 0; i < table.DictionarySetCount; ++i)
        for (const QString &file : table.DictionarySetList[size_t(i)].fileNames()) {
            // A dictionary on a server is no file to copy here.
            if (isServerLocation(file))
                continue;
            const QString absolute = QFileInfo(QFileInfo(setFile).absoluteDir(), file).absoluteFilePath();
            if (!files.contains(absolute))
                files.append(absolute);
        }
    return files;
}

} // namespace

std::optional<Error> setFileProblem(const QString &path)
{
    const SetFileContents contents = readDictionarySetsFile(path);
    if (contents.missing)
        return Error(Error::Kind::SetFileNoSetsWritten, path);
    return contents.problem;
}

QStringList dictionariesOfSets(const QString &setFile)
{
    return filesOf(setFile, readDictionarySetsFile(setFile).table);
}

QList<BackedUpFile> backedUpFiles(const QString &setFile)
{
    QList<BackedUpFile> files{{QFileInfo(setFile).absoluteFilePath(), {}, true}};
    const DictionarySetTable table = readDictionarySetsFile(setFile).table;
    QStringList seen;
    for (int i = 0; i < table.DictionarySetCount; ++i) {
        const DictionarySet &set = table.DictionarySetList[size_t(i)];
        for (const QString &file : set.fileNames()) {
            if (isServerLocation(file)) {
                if (!seen.contains(file)) {
                    seen.append(file);
                    files.append({file, set.name(), false, true});
                }
                continue;
            }
            const QString path = QFileInfo(QFileInfo(setFile).absoluteDir(), file).absoluteFilePath();
            if (seen.contains(path))
                continue;
            seen.append(path);
            files.append({path, set.name(), false});
        }
    }
    return files;
}

QString BackedUpFile::backupFolder(const QString &root) const
{
    return isServer ? serverBackupFolder(root, path) : backupFolderFor(root, path);
}

void removeStaleBackupCopies(const QString &setFile, const BackupOptions &options)
{
    QStringList folders;
    for (const BackedUpFile &file : backedUpFiles(setFile)) {
        folders << file.backupFolder(options.root);
        if (!file.isServer)
            folders << QFileInfo(file.path).absolutePath();
    }
    folders.removeDuplicates();
    for (const QString &folder : std::as_const(folders))
        if (QFileInfo(folder).isDir())
            removeStaleCompactionCopies(folder);
}

void RestoreSetFile(const QString &generation, const QString &setFile, const BackupOptions &options)
{
    const SetFileContents contents = readDictionarySetsFile(generation);
    if (contents.missing || contents.problem)
        throw Error(Error::Kind::SetFileGenerationUnreadable, generation, SQLITE_CORRUPT);
    RestorePlainGeneration(generation, setFile, options.root, options.policy);
}

namespace {

BackupOutcome backUpOne(const QString &path, const BackupOptions &options, bool onlyChanged, bool dictionary,
                        const Progress &progress = {})
{
    BackupOutcome outcome;
    outcome.path = path;
    if (onlyChanged && !changedSinceBackup(path, options.root)) {
        outcome.skipped = true;
        return outcome;
    }
    try {
        outcome.generation = dictionary ? BackupDictionary(path, options.root, options.policy,
                                                           QDateTime::currentDateTime(), progress)
                                        : BackupPlainFile(path, options.root, options.policy, QDateTime::currentDateTime(),
                                                          &setFileProblem);
    } catch (const sqlite::Error &e) {
        outcome.failure = e;
        outcome.remedy = backupRemedy(e);
    }
    return outcome;
}

// The server dictionaries of the sets, each once, in the order of the sets.
QStringList serversOf(const DictionarySetTable &table)
{
    QStringList servers;
    for (int i = 0; i < table.DictionarySetCount; ++i)
        for (const QString &member : table.DictionarySetList[size_t(i)].fileNames())
            if (isServerLocation(member) && !servers.contains(member))
                servers.append(member);
    return servers;
}

BackupOutcome backUpServer(const QString &location, const BackupOptions &options, bool onlyChanged)
{
    BackupOutcome outcome;
    outcome.path = shownServerLocation(location);
    try {
        outcome.generation = options.serverBackup(location, options, onlyChanged);
        outcome.skipped = outcome.generation.isEmpty();
    } catch (const sqlite::Error &e) {
        outcome.failure = e;
        outcome.remedy = backupRemedy(e);
    }
    return outcome;
}

} // namespace

void RestoreInProgram(DatabaseModule &database, const QString &generation, const QString &path,
                      const BackupOptions &options)
{
    RestoreGeneration(generation, path, options.root, options.policy,
                      [&database](const QString &file, const std::function<void()> &swap) {
                          database.releaseWhile(file, swap);
                      });
}

QList<BackupOutcome> backUpSets(const QString &setFile, const BackupOptions &options, bool onlyChanged,
                                const Progress &progress)
{
    QList<BackupOutcome> outcomes;
    if (QFileInfo(setFile).isFile())
        outcomes.append(backUpOne(setFile, options, onlyChanged, false));
    const SetFileContents contents = readDictionarySetsFile(setFile);
    // A set file that cannot be read names no dictionaries; that is no success.
    if (!contents.missing && contents.problem) {
        BackupOutcome unread;
        unread.path = setFile;
        unread.failure = Error(Error::Kind::SetFileUnreadableForBackup, setFile).withCause(*contents.problem);
        outcomes.append(unread);
    }
    QStringList dictionaries = filesOf(setFile, contents.table);
    if (options.serverBackup)
        dictionaries += serversOf(contents.table);
    // Each dictionary is a thousandth-part stage of the whole, told as its pages are copied.
    const qint64 total = qint64(dictionaries.size()) * 1000;
    for (int i = 0; i < dictionaries.size(); ++i) {
        const Progress stage = progressStage(progress, qint64(i) * 1000, 1000, total);
        reportProgress(stage, 0, 1);
        outcomes.append(isServerLocation(dictionaries.at(i)) ? backUpServer(dictionaries.at(i), options, onlyChanged)
                                                             : backUpOne(dictionaries.at(i), options, onlyChanged, true, stage));
    }
    return outcomes;
}

} // namespace qm::store
