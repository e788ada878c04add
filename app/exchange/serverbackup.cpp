#include "app/exchange/serverbackup.h"

#include "app/exchange/exporter.h"
#include "app/exchange/importer.h"
#include "app/exchange/jsonlines.h"
#include "app/exchange/linereader.h"
#include "app/store/care/backup.h"
#include "app/store/care/writetarget.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/server/servercare.h"

#include "platform/rtf/rtf.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

namespace qm::exchange {
namespace {

constexpr char Suffix[] = "jsonl";

store::ServerOptions serverOptions(const store::PasswordPrompt &password, bool readOnly)
{
    store::ServerOptions options;
    options.password = password;
    options.readOnly = readOnly;
    options.richText = &rtf::rtfToPlainText;
    return options;
}

// The store's failure for an export or import that stopped: the store's own when a dictionary
// failed, otherwise that the generation could not be written.
[[noreturn]] void raiseStored(const ExchangeError &e, const QString &path)
{
    if (e.reason().cause)
        throw *e.reason().cause;
    throw store::Error(store::Error::Kind::BackupNotWritten, path, SQLITE_IOERR);
}

// Reads every line of a written generation back; none when each reads and it holds `entries`.
std::optional<store::Error> checkGeneration(const QString &path, qint64 entries)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return store::Error(store::Error::Kind::BackupCheckFailed, path, SQLITE_CANTOPEN);
    LineReader reader(file, jsonl::maxLineBytes({}));
    QByteArray line;
    qint64 headers = 0;
    qint64 found = 0;
    try {
        while (reader.next(line)) {
            const jsonl::Line parsed = jsonl::parseLine(line, {});
            parsed.isHeader ? ++headers : ++found;
        }
    } catch (const ExchangeError &) {
        return store::Error(store::Error::Kind::BackupCheckFailed, path, SQLITE_CORRUPT);
    }
    if (headers != 1 || found != entries)
        return store::Error(store::Error::Kind::BackupCheckFailed, path, SQLITE_CORRUPT);
    return std::nullopt;
}

// A new generation of the open dictionary in `folder`.
QString exportGeneration(store::DictionaryStorage &dictionary, const QString &folder, const store::GenerationPolicy &policy,
                         const QDateTime &now, bool beforeRestore)
{
    qint64 entries = 0;
    return store::BackupWrittenGeneration(
        folder, QString::fromLatin1(Suffix), policy, now,
        [&](QIODevice &out) {
            // One read transaction: the count and the lines are of one state of the dictionary.
            const auto scope = dictionary.holdReads();
            entries = dictionary.entryCount();
            try {
                exportDictionary(dictionary, out);
            } catch (const ExchangeError &e) {
                raiseStored(e, folder);
            }
        },
        [&](const QString &written) { return checkGeneration(written, entries); }, beforeRestore);
}

// `path`, or the first name beside it that no file has.
QString freeName(const QString &path)
{
    const QFileInfo info(path);
    QString name = path;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = info.dir().filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    return name;
}

} // namespace

QString backUpServerDictionary(const QString &location, const store::BackupOptions &options, bool onlyChanged,
                               const store::PasswordPrompt &password, const QDateTime &now)
{
    const store::ServerOptions server = serverOptions(password, true);
    const QString folder = store::preparedServerBackupFolder(options.root, location);
    // Taken before the export: a change made meanwhile makes the next round back up again.
    const QString stamp = store::serverChangeStamp(location, server);
    if (onlyChanged && !store::changedSinceStamp(folder, stamp))
        return {};
    const std::unique_ptr<store::DictionaryStorage> dictionary = store::openServerDictionary(location, server);
    const QString generation = exportGeneration(*dictionary, folder, options.policy, now, false);
    store::writeBackupStamp(folder, stamp);
    return generation;
}

store::BackupOptions withServerBackups(store::BackupOptions options, const store::PasswordPrompt &password)
{
    options.serverBackup = [password](const QString &location, const store::BackupOptions &o, bool onlyChanged) {
        return backUpServerDictionary(location, o, onlyChanged, password);
    };
    return options;
}

void restoreServerGeneration(const QString &generation, const QString &location, const store::BackupOptions &options,
                             const store::PasswordPrompt &password)
{
    QFile in(generation);
    if (!in.open(QIODevice::ReadOnly))
        throw store::Error(store::Error::Kind::GenerationMissing, generation, SQLITE_CANTOPEN);
    readJsonHeader(in);
    const std::unique_ptr<store::DictionaryStorage> dictionary =
        store::openServerDictionary(location, serverOptions(password, false));
    exportGeneration(*dictionary, store::preparedServerBackupFolder(options.root, location), options.policy,
                     QDateTime::currentDateTime(), true);
    dictionary->beginEditSession();
    try {
        for (const qint32 number : dictionary->entryNumbers())
            dictionary->deleteEntry(number);
        importJsonLines(in, *dictionary);
        dictionary->commitEditSession();
    } catch (...) {
        dictionary->rollbackEditSession();
        throw;
    }
}

RestoredFile restoreGenerationToFile(const QString &generation, const QString &path)
{
    QFile in(generation);
    if (!in.open(QIODevice::ReadOnly))
        throw store::Error(store::Error::Kind::GenerationMissing, generation, SQLITE_CANTOPEN);
    const jsonl::DictionaryDescription description = readJsonHeader(in);
    RestoredFile made{freeName(path), 0};
    const store::ResolvedTarget target = store::resolveWriteTarget(made.path);
    if (!target.isWritable())
        throw store::refusalError(target);
    jsonl::createDictionary(made.path, description);
    try {
        store::Dictionary dictionary(made.path, {false, {}, &rtf::rtfToPlainText});
        made.entries = importJsonLines(in, dictionary);
    } catch (...) {
        QFile::remove(made.path);
        throw;
    }
    return made;
}

} // namespace qm::exchange
