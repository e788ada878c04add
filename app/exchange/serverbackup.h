#pragma once

#include "app/store/care/autobackup.h"
#include "app/store/server/serverdictionary.h"

#include <QDateTime>
#include <QString>

// Backups of server dictionaries: generations in the exchange format (a whole export), kept and
// pruned as a file's generations are, and put back into the server dictionary or into a new
// dictionary file.
namespace qm::exchange {

// Exports the server dictionary as a new generation in store::serverBackupFolder(), checks that
// every line of it reads back and that it holds as many entries as the dictionary, and prunes the
// folder by the policy. With `onlyChanged`, a dictionary the server has counted no change of since
// its last backup is not exported again and the path is empty. Throws sqlite::Error; a failed
// backup keeps nothing.
QString backUpServerDictionary(const QString &location, const store::BackupOptions &options, bool onlyChanged,
                               const store::PasswordPrompt &password = {},
                               const QDateTime &now = QDateTime::currentDateTime());

// The options, with server dictionaries backed up by backUpServerDictionary().
store::BackupOptions withServerBackups(store::BackupOptions options, const store::PasswordPrompt &password = {});

// Puts a generation in place of the server dictionary's entries, all or nothing: the content it
// has now is first kept as a generation made before the restore, and the old entries are deleted
// and the generation's added (with their numbers) in one transaction. Throws sqlite::Error or
// ExchangeError (a generation that does not read); the dictionary then stays as it was.
void restoreServerGeneration(const QString &generation, const QString &location, const store::BackupOptions &options,
                             const store::PasswordPrompt &password = {});

// Makes a new dictionary file holding the generation's entries: at `path`, or when a file is
// there already, at the first free name of "name-2.dic", "name-3.dic", ... Gives the file made.
// Nothing is left behind when it fails. Throws sqlite::Error or ExchangeError.
struct RestoredFile {
    QString path;
    qint64 entries = 0;
};
RestoredFile restoreGenerationToFile(const QString &generation, const QString &path);

} // namespace qm::exchange
