#pragma once

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionarystorage.h"
#include "app/store/progress.h"
#include "app/store/server/serverdictionary.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace qm::store {

// The passwords of server dictionaries the user typed during this run, kept in memory only: a
// server asks once per run, whichever connection (the window thread's or a search worker's)
// meets it first. Safe to use from several threads. Held by a shared pointer: the prompts it
// gives keep it, as they may outlive the set (an attempt to reach a server still running).
class ServerPasswords final : public std::enable_shared_from_this<ServerPasswords>
{
public:
    using Ask = std::function<std::optional<QString>(const QString &shownLocation)>;

    // Asks the user through `ask` (the window thread only) unless a password was typed already.
    PasswordPrompt asking(Ask ask);
    // Gives only what was typed already: for connections that may not ask (a worker thread).
    PasswordPrompt remembered();
    // A password the server refused is dropped, so that it is asked again.
    void forget(const QString &shownLocation);

private:
    std::optional<QString> find(const QString &location);
    void keep(const QString &location, const QString &password);

    QMutex m_mutex;
    QHash<QString, QString> m_passwords;
};

// Opens a storage by a set member's location: a dictionary on a server when the member is a
// server location, otherwise the file.
using StorageOpener = std::function<std::unique_ptr<DictionaryStorage>(const QString &location)>;
// Opens a server dictionary (openServerDictionary(); tests put a stand-in in its place).
using ServerOpener = std::function<std::unique_ptr<DictionaryStorage>(const QString &, const ServerOptions &)>;

// How the members of a set are opened: the same choices for every member.
struct MemberOptions {
    bool readOnly = false;
    Progress progress;
    RichTextReader richText;
    std::chrono::seconds serverTimeout{5};
    PasswordPrompt password;
    ServerOpener openServer;
};

// Opens one member with these options.
std::unique_ptr<DictionaryStorage> openMember(const QString &location, const MemberOptions &options);
// The opener of a second, read-only storage of each member, for a thread that searches beside
// the window thread: files open read-only, servers with the remembered passwords only.
StorageOpener readOnlyOpener(MemberOptions options);

// A member as it may be shown or logged: a server location without its password.
QString shownMember(const QString &location);

// What keeps a text the user typed from being a server member of a set.
enum class ServerLocationProblem {
    None,
    NotServer,    // not a postgresql:// URI nor a keyword string naming a dictionary
    NoDictionary, // names no `dictionary`
    HasPassword,  // carries a password, which the set file would keep in the clear
};
ServerLocationProblem serverLocationProblem(const QString &text);

} // namespace qm::store
