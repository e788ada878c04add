#pragma once

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionarystorage.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace qm::store {

// Asked for the password of a server dictionary when the server wants one and none of libpq's
// own sources (~/.pgpass, the service file, PGPASSWORD) gave it. `location` is the member as
// it may be shown (no password in it). Returns nothing when the user declines; the opening
// then fails as an authentication failure. The password is used for this connection only and
// never written anywhere.
using PasswordPrompt = std::function<std::optional<QString>(const QString &location)>;

struct ServerOptions {
    // How long connecting may take before the server counts as unreachable.
    std::chrono::seconds timeout{5};
    PasswordPrompt password;
    // Make the dictionary (its tables in the database) when it does not exist yet; otherwise a
    // missing dictionary is refused.
    bool createIfMissing = false;
    // Refuse every change (Kind::ReadOnly), as a read-only file does.
    bool readOnly = false;
    // Reads the visible text of rich-text bodies for body searches (see DictionaryFile::Options).
    RichTextReader richText;
};

// True when a set member names a dictionary on a server rather than a file: a
// postgresql:// or postgres:// URI, or a libpq keyword string with a `dictionary=` setting.
bool isServerLocation(const QString &member);

// The member as it may be shown or logged: a password in it is taken out.
QString shownServerLocation(const QString &member);

// Opens the dictionary the member names: a libpq connection URI or keyword string with our own
// parameter `dictionary` (its name in the database), e.g.
//   postgresql://db.example/glossary?dictionary=用語集
//   service=team dictionary=用語集
// Throws sqlite::Error (a store::Error with a server FailureKind) when the server cannot be
// reached, refuses the login, lacks the database or the dictionary, or holds tables of another
// version or program.
std::unique_ptr<DictionaryStorage> openServerDictionary(const QString &member, const ServerOptions &options);

// Takes away a dictionary on a server that a failed piece of work (an import) has just made, so
// that the failure leaves no empty dictionary behind: its schema is dropped, but only while it
// holds no entries and nobody else is using it (a program that found it meanwhile keeps it).
// True when it was dropped; false, and nothing changed, otherwise, also when the server cannot
// be reached. Never throws.
bool dropEmptyServerDictionary(const QString &member, const ServerOptions &options);

} // namespace qm::store
