#pragma once

#include <QString>

namespace qm::pg {

// A dictionary on a server as the user names it: a libpq connection URI
// (postgresql://host/db?dictionary=name) or keyword string (service=team dictionary=name).
// `dictionary` is our own setting, which libpq does not know: it is taken out, and every other
// setting is passed to libpq as written.
struct Location {
    QString connection; // the libpq connection text without `dictionary`
    QString dictionary; // empty when the text names none
};

// Splits the text; throws pg::Error (Kind::BadLocation) when it cannot be read (an unclosed
// quote, a setting without "=").
Location parseLocation(const QString &text);

// True for a postgresql:// or postgres:// URI.
bool isConnectionUri(const QString &text);

// The text with any password in it (URI user information, a `password` setting) replaced by
// "***", for showing and logging.
QString redactPassword(const QString &text);

} // namespace qm::pg
