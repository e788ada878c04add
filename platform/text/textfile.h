#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace qm::text {

// Decodes the bytes of a text file: valid UTF-8 (with or without a byte order mark) is read as
// UTF-8, anything else as CP932.
QString decodeTextFile(const QByteArray &bytes);

// Reads a whole text file the same way; nullopt when it cannot be read.
std::optional<QString> readTextFile(const QString &path);

// Turns every line end (LF, CR LF or a lone CR) into CR LF.
QString toCrLf(QStringView text);

struct WriteResult {
    bool ok = false;
    QString error;                   // the system's reason, when the file could not be written
    int errorCode = 0;               // errno of the failure, when known
    QList<char32_t> unencodable;     // characters CP932 cannot hold; nothing was written then
};

// Replaces the file with the text in CP932, atomically: the old file stays whole until the new
// one is complete. Refuses (and writes nothing) when a character has no CP932 form.
WriteResult writeCp932File(const QString &path, QStringView text);

// Replaces the file with raw bytes, atomically.
WriteResult writeFileAtomically(const QString &path, const QByteArray &bytes);

// Replaces the file with an HTML page for a browser to show: UTF-8 behind a byte order mark,
// which a browser follows before any character set the page declares, so every character of
// the page shows as itself. The viewers and the HTML editor's preview both write pages this way.
WriteResult writeBrowserPage(const QString &path, QStringView page);

// The steps of writing a file, where a test can make the write fail as a full disk or a vanished
// folder would. The hook is asked before each step and returns the system error number to fail
// with, or 0 to go on. An empty hook (the default) never fails anything.
enum class WriteStep { Open, Write, Commit };
using WriteFaultHook = std::function<int(const QString &path, WriteStep step)>;
void setWriteFaultHook(WriteFaultHook hook);

} // namespace qm::text
